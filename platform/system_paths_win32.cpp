#include <cstdlib>

#include "platform/system_paths.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

std::string SystemDirectory() {
    const char* dir = std::getenv("QV_SYSTEM_DIR");
    if (dir && *dir) return dir;
    char buf[MAX_PATH + 1];
    const UINT n = GetSystemDirectoryA(buf, MAX_PATH);
    return n > 0 && n <= MAX_PATH ? std::string(buf, n) : std::string("C:\\Windows\\System32");
}

}  // namespace qv::platform
