// The class object of DBManager: a standard class factory, made once and cached for the
// module's life. It counts in the module's object count while any client holds it.
#pragma once

#include "platform/ref_count.h"
#include "qvcomm/com_types.h"

namespace qv::db {

class DBManagerFactory final : public IClassFactory {
public:
    // The cached class object (no reference added).
    static DBManagerFactory& Instance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

    DBManagerFactory() = default;
    ~DBManagerFactory() = default;

private:
    platform::RefCount client_refs_{0};
};

// DllGetClassObject's work, without the export.
HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
// DllCanUnloadNow's answer.
HRESULT CanUnloadNow();

}  // namespace qv::db
