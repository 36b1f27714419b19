#include "qvcommdb/registration.h"

#include "common/startup_services.h"
#include "platform/guid.h"
#include "platform/registry.h"
#include "qvcomm/qvcommdb.h"

namespace qv::db {

const platform::TypeLibraryInfo& TypeLibrary() {
    static const platform::TypeLibraryInfo info{LIBID_QVCOMMDBLib, 1, 0, 0, 1, "QVCommDB 1.0 Type Library"};
    return info;
}

namespace {
std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

HRESULT RegistryFailure(uint32_t error) { return error ? HRESULT_FROM_WIN32(error) : E_ACCESSDENIED; }
}  // namespace

HRESULT RegisterServer(const std::string& module_path) {
    const std::string clsid = platform::GuidToString(CLSID_DBManager);
    const std::string libid = platform::GuidToString(LIBID_QVCOMMDBLib);
    const std::string class_key = "CLSID\\" + clsid;
    {
        uint32_t error = 0;
        auto root = platform::ClassesRoot::Open(&error);
        if (!root) return RegistryFailure(error);
        const bool ok =
            root->SetString(kProgId, "", kClassHelp) && root->SetString(std::string(kProgId) + "\\CLSID", "", clsid) &&
            root->SetString(kVersionIndependentProgId, "", kClassHelp) &&
            root->SetString(std::string(kVersionIndependentProgId) + "\\CLSID", "", clsid) &&
            root->SetString(std::string(kVersionIndependentProgId) + "\\CurVer", "", kProgId) &&
            // The class key is made anew: whatever an earlier registration left below it goes.
            root->DeleteTree(class_key) && root->SetString(class_key, "", kClassHelp) &&
            root->SetString(class_key + "\\ProgID", "", kProgId) &&
            root->SetString(class_key + "\\VersionIndependentProgID", "", kVersionIndependentProgId) &&
            root->SetString(class_key + "\\InprocServer32", "", module_path) &&
            root->SetString(class_key + "\\InprocServer32", "ThreadingModel", "Apartment") &&
            root->SetString(class_key + "\\TypeLib", "", libid) && root->Commit(&error);
        if (!ok) return RegistryFailure(error);
    }
    return platform::RegisterTypeLibrary(module_path, DirectoryOf(module_path), TypeLibrary());
}

HRESULT UnregisterServer(const std::string& module_path) {
    {
        uint32_t error = 0;
        if (auto root = platform::ClassesRoot::Open(&error)) {
            root->DeleteTree(kProgId);
            root->DeleteTree(kVersionIndependentProgId);
            root->DeleteTree("CLSID\\" + platform::GuidToString(CLSID_DBManager));
            root->Commit(&error);
        }
    }
    // The type library's registration goes through the system's own removal routine, looked up
    // by name; when any step fails the library stays registered.
    platform::TypeLibraryInfo identity{};
    if (platform::ReadTypeLibraryIdentity(module_path, TypeLibrary(), &identity)) {
        if (platform::ModuleHandle module = platform::OpenTypeLibraryRemovalModule()) {
            if (auto remove = reinterpret_cast<platform::UnRegisterTypeLibRoutine>(
                    startup::ResolveProcedure(module, "UnRegisterTypeLib")))
                remove(identity.libid, identity.major, identity.minor, identity.lcid, identity.syskind);
            platform::CloseLibrary(module);
        }
    }
    return S_OK;
}

}  // namespace qv::db
