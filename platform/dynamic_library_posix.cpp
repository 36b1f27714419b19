#include <dlfcn.h>

#include <cctype>

#include "platform/dynamic_library.h"

namespace qv::platform {

namespace {
bool EndsWithDll(const std::string& s) {
    if (s.size() < 4) return false;
    std::string tail = s.substr(s.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".dll";
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
}  // namespace

ModuleHandle OpenLibrary(const std::string& path, uint32_t* error) {
    if (EndsWithDll(path)) {
        // A Windows library name: "Name.dll" is "libName.so", beside the caller when no
        // directory is given.
        const auto slash = path.find_last_of('/');
        std::string dir = slash == std::string::npos ? DirectoryOf(ModulePathOf(
                                                           reinterpret_cast<const void*>(&OpenLibrary)))
                                                     : path.substr(0, slash + 1);
        std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1);
        stem.resize(stem.size() - 4);
        const std::string candidate = dir + "lib" + stem + ".so";
        if (void* h = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    if (error) *error = kErrorModNotFound;
    return nullptr;
}

void CloseLibrary(ModuleHandle module) {
    if (module) dlclose(module);
}

void* FindProcedure(ModuleHandle module, const char* name) {
    if (!module || !name) return nullptr;
    return dlsym(module, name);
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    return info.dli_fname;
}

}  // namespace qv::platform
