#include "platform/codepage.h"
#include "platform/type_library.h"

namespace qv::platform {

namespace {
std::wstring Wide(const std::string& s) {
    const std::u16string w = AnsiToWide(s);
    return std::wstring(w.begin(), w.end());
}
}  // namespace

HRESULT RegisterTypeLibrary(const std::string& module_path, const std::string& help_dir, const TypeLibraryInfo&) {
    ITypeLib* library = nullptr;
    std::wstring path = Wide(module_path), help = Wide(help_dir);
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(library, path.data(), help.data());
    library->Release();
    return hr;
}

bool ReadTypeLibraryIdentity(const std::string& module_path, const TypeLibraryInfo&, TypeLibraryInfo* identity) {
    ITypeLib* library = nullptr;
    const std::wstring path = Wide(module_path);
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return false;
    TLIBATTR* attributes = nullptr;
    const bool ok = SUCCEEDED(library->GetLibAttr(&attributes));
    if (ok) {
        identity->libid = attributes->guid;
        identity->major = attributes->wMajorVerNum;
        identity->minor = attributes->wMinorVerNum;
        identity->lcid = attributes->lcid;
        identity->syskind = attributes->syskind;
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
    return ok;
}

ModuleHandle OpenTypeLibraryRemovalModule() {
    uint32_t error = 0;
    return OpenLibrary("oleaut32.dll", &error);
}

}  // namespace qv::platform
