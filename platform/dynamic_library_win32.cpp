#include "platform/dynamic_library.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

ModuleHandle OpenLibrary(const std::string& path, uint32_t* error) {
    HMODULE h = LoadLibraryA(path.c_str());
    if (!h && error) *error = GetLastError();
    return reinterpret_cast<ModuleHandle>(h);
}

void CloseLibrary(ModuleHandle module) {
    if (module) FreeLibrary(reinterpret_cast<HMODULE>(module));
}

void* FindProcedure(ModuleHandle module, const char* name) {
    if (!module || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

std::string ModulePathOf(const void* address) {
    HMODULE h = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &h))
        return {};
    char buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(h, buf, MAX_PATH);
    return std::string(buf, n);
}

}  // namespace qv::platform
