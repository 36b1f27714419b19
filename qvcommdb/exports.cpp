// The exported entry points of the database module.
#include "platform/dynamic_library.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/class_factory.h"
#include "qvcommdb/registration.h"

namespace {
std::string ThisModulePath() {
    return qv::platform::ModulePathOf(reinterpret_cast<const void*>(&qv::db::RegisterServer));
}
}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return qv::db::GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return qv::db::CanUnloadNow(); }

STDAPI DllRegisterServer() {
    try {
        return qv::db::RegisterServer(ThisModulePath());
    } catch (...) {
        return E_FAIL;
    }
}

STDAPI DllUnregisterServer() {
    try {
        qv::db::UnregisterServer(ThisModulePath());
    } catch (...) {
    }
    return S_OK;
}

#if defined(_WIN32)
// Thread attach and detach notifications are of no use to the module.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
