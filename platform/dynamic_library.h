// Loading shared libraries and looking up their routines.
//
// Failures carry the Win32 error codes that callers see on every backend: 126 when the library
// file cannot be loaded, 127 when a routine is missing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qv::platform {

using ModuleHandle = void*;

inline constexpr uint32_t kErrorModNotFound = 126;
inline constexpr uint32_t kErrorProcNotFound = 127;

// Loads the library named by `path` (narrow text, ANSI code page). On Windows the name is
// used as LoadLibraryA uses it. On POSIX a bare file name ending in ".dll" is looked up as
// "lib" + name + ".so" beside the calling library first, then as given.
ModuleHandle OpenLibrary(const std::string& path, uint32_t* error);
void CloseLibrary(ModuleHandle module);
void* FindProcedure(ModuleHandle module, const char* name);

// The full path of the module that contains `address`, or empty when it cannot be told.
std::string ModulePathOf(const void* address);

// Owns a loaded library.
class ScopedModule {
public:
    ScopedModule() = default;
    explicit ScopedModule(ModuleHandle m) : m_(m) {}
    ScopedModule(const ScopedModule&) = delete;
    ScopedModule& operator=(const ScopedModule&) = delete;
    ScopedModule(ScopedModule&& o) noexcept : m_(std::exchange(o.m_, nullptr)) {}
    ScopedModule& operator=(ScopedModule&& o) noexcept {
        if (this != &o) {
            reset();
            m_ = std::exchange(o.m_, nullptr);
        }
        return *this;
    }
    ~ScopedModule() { reset(); }
    ModuleHandle get() const { return m_; }
    explicit operator bool() const { return m_ != nullptr; }
    ModuleHandle release() { return std::exchange(m_, nullptr); }
    void reset() {
        if (m_) CloseLibrary(std::exchange(m_, nullptr));
    }

private:
    ModuleHandle m_ = nullptr;
};

}  // namespace qv::platform
