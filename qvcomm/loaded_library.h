// One library loaded through the logged loading wrapper, with its entry points.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"

namespace qv::comm {

class LoadedLibrary {
public:
    // Loads `path` and looks up `entry_points` in order, writing the "[LOADED_LIBRARY]" trace
    // lines. The first failure ends the construction: error() then holds its Win32 code and no
    // module is held.
    LoadedLibrary(std::string path, std::initializer_list<const char*> entry_points);
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    // Frees the module, with the "FreeLibrary()" trace line.
    ~LoadedLibrary();

    bool ok() const { return error_ == 0; }
    uint32_t error() const { return error_; }
    const std::string& path() const { return path_; }
    platform::ModuleHandle module() const { return module_; }
    void* entry(size_t i) const { return i < entries_.size() ? entries_[i] : nullptr; }

private:
    void Free();

    std::string path_;
    platform::ModuleHandle module_ = nullptr;
    std::vector<void*> entries_;
    uint32_t error_ = 0;
};

// The binding of the configuration database: "QVCommDB.dll" with "DllGetClassObject".
class QVCOMMDBLibrary {
public:
    // Binds it; the third binding in a process loads it once more, for good.
    QVCOMMDBLibrary();
    bool ok() const { return library_.ok(); }
    uint32_t error() const { return library_.error(); }
    void* get_class_object() const { return library_.entry(0); }

private:
    LoadedLibrary library_;
};

// How many times the database was bound in this process (changed under the library's lock).
int BindingCount();

}  // namespace qv::comm
