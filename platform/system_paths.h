// Well-known locations of the system.
#pragma once

#include <string>

namespace qv::platform {

// The system directory: on Windows the system's own, on POSIX "/var/lib" (root-owned). The
// environment variable QV_SYSTEM_DIR, when set, names another one on every backend; tests use it.
std::string SystemDirectory();

}  // namespace qv::platform
