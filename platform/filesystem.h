// Directories and well-known locations.
#pragma once

#include <string>

namespace qv::platform {

// Makes the directory and its missing parents. True when the directory exists afterwards.
bool CreateDirectoryPath(const std::string& path);

// The separator of path components on this system.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace qv::platform
