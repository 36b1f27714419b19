#include <dlfcn.h>

#include <cstdio>

#include "platform/guid.h"
#include "platform/registry.h"
#include "platform/type_library.h"

namespace qv::platform {

namespace {
std::string VersionKey(REFGUID libid, uint16_t major, uint16_t minor) {
    char version[16];
    std::snprintf(version, sizeof version, "%x.%x", major, minor);
    return "TypeLib\\" + GuidToString(libid) + "\\" + version;
}
}  // namespace

HRESULT RegisterTypeLibrary(const std::string& module_path, const std::string& help_dir, const TypeLibraryInfo& info) {
    uint32_t error = 0;
    auto root = ClassesRoot::Open(&error);
    if (!root) return HRESULT_FROM_WIN32(error);
    const std::string key = VersionKey(info.libid, info.major, info.minor);
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", info.lcid);
    const bool ok = root->SetString(key, "", info.help) && root->SetString(key + "\\FLAGS", "", "0") &&
                    root->SetString(key + "\\HELPDIR", "", help_dir) &&
                    root->SetString(key + "\\" + lcid + "\\win32", "", module_path) && root->Commit(&error);
    return ok ? S_OK : E_ACCESSDENIED;
}

bool ReadTypeLibraryIdentity(const std::string&, const TypeLibraryInfo& described, TypeLibraryInfo* identity) {
    *identity = described;
    return true;
}

ModuleHandle OpenTypeLibraryRemovalModule() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&OpenTypeLibraryRemovalModule), &info) || !info.dli_fname)
        return nullptr;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

}  // namespace qv::platform

// The removal routine, under the name callers look up.
extern "C" QV_EXPORT HRESULT UnRegisterTypeLib(REFGUID libid, uint16_t major, uint16_t minor, uint32_t lcid,
                                               int) {
    uint32_t error = 0;
    auto root = qv::platform::ClassesRoot::Open(&error);
    if (!root) return HRESULT_FROM_WIN32(error);
    const std::string key = qv::platform::VersionKey(libid, major, minor);
    if (!root->KeyExists(key)) return static_cast<HRESULT>(0x8002801Du);  // TYPE_E_LIBNOTREGISTERED
    (void)lcid;
    root->DeleteTree(key);
    // The library's key goes too when no other version is left in it.
    const std::string library_key = "TypeLib\\" + qv::platform::GuidToString(libid);
    if (root->HasNoSubkeys(library_key)) root->DeleteTree(library_key);
    return root->Commit(&error) ? S_OK : HRESULT_FROM_WIN32(error);
}
