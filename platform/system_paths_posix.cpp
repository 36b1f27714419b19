#include <cstdlib>

#include "platform/system_paths.h"

namespace qv::platform {

std::string SystemDirectory() {
    const char* dir = std::getenv("QV_SYSTEM_DIR");
    return dir && *dir ? dir : "/var/lib";
}

}  // namespace qv::platform
