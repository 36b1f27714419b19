#include "qvcommdb/class_factory.h"

#include <new>

#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/module.h"

namespace qv::db {

DBManagerFactory& DBManagerFactory::Instance() {
    // Made at the first request; the language makes concurrent first requests make only one.
    static DBManagerFactory factory;
    return factory;
}

HRESULT DBManagerFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DBManagerFactory::AddRef() {
    const int32_t n = client_refs_.Increment();
    if (n == 1) ModuleAddRef();
    return static_cast<ULONG>(n);
}

ULONG DBManagerFactory::Release() {
    const int32_t n = client_refs_.Decrement();
    if (n == 0) ModuleRelease();
    return static_cast<ULONG>(n);
}

HRESULT DBManagerFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    return ComGuard(
        [&] {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (pUnkOuter) return CLASS_E_NOAGGREGATION;
            DBManager* manager = DBManager::Create();
            // Hold the manager while asking for the interface, so that a refused interface
            // destroys it again.
            manager->AddRef();
            const HRESULT hr = manager->QueryInterface(riid, ppv);
            manager->Release();
            return hr;
        },
        E_OUTOFMEMORY);
}

HRESULT DBManagerFactory::LockServer(BOOL fLock) {
    if (fLock)
        ModuleAddRef();
    else
        ModuleRelease();
    return S_OK;
}

HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return ComGuard([&] {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualCLSID(rclsid, CLSID_DBManager)) return CLASS_E_CLASSNOTAVAILABLE;
        return DBManagerFactory::Instance().QueryInterface(riid, ppv);
    });
}

HRESULT CanUnloadNow() { return ModuleObjectCount() == 0 ? S_OK : S_FALSE; }

}  // namespace qv::db
