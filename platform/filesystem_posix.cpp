#include <sys/stat.h>

#include <cerrno>

#include "platform/filesystem.h"

namespace qv::platform {

namespace {
bool IsDirectory(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

bool CreateDirectoryPath(const std::string& path) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    // Make every prefix that ends before a separator, then the whole path.
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string prefix = path.substr(0, i);
            if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return IsDirectory(path);
}

}  // namespace qv::platform
