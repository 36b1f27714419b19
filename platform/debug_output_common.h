// Appending a text to the capture file named by an environment variable. Shared by both backends.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace qv::platform::detail {

// Appends `text` to the file named by `variable`. Returns false when the variable is unset.
// Each text is written with one call on a file opened for appending, so lines of concurrent
// writers (threads or processes) do not interleave.
inline bool AppendToCaptureFile(const char* variable, std::string_view text) {
    const char* path = std::getenv(variable);
    if (!path || !*path) return false;
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (FILE* f = std::fopen(path, "ab")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return true;
}

}  // namespace qv::platform::detail
