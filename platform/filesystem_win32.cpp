#include "platform/filesystem.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

namespace {
bool IsDirectory(const std::string& p) {
    const DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

bool CreateDirectoryPath(const std::string& path) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            std::string prefix = path.substr(0, i);
            if (prefix.size() == 2 && prefix[1] == ':') continue;  // a drive letter
            if (!CreateDirectoryA(prefix.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return IsDirectory(path);
}

}  // namespace qv::platform
