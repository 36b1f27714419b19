#include "qvcomm/plugin_manager.h"

#include <mutex>

#include "platform/bstr.h"

namespace qv::comm {

using platform::ComPtr;

HRESULT PluginManager::Create(ULONG access_mode, void* protection, std::unique_ptr<PluginManager>* out) {
    std::unique_ptr<PluginManager> manager;
    try {
        manager.reset(new PluginManager());
        manager->database_library_ = std::make_unique<QVCOMMDBLibrary>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!manager->database_library_->ok()) return static_cast<HRESULT>(manager->database_library_->error());
    auto get_class_object = reinterpret_cast<QVDB_DllGetClassObject>(manager->database_library_->get_class_object());
    ComPtr<IClassFactory> factory;
    HRESULT hr = get_class_object(CLSID_DBManager, IID_IClassFactory, factory.out_void());
    if (hr != S_OK) return hr;
    hr = factory->CreateInstance(nullptr, IID_IDBManager, manager->database_.out_void());
    factory.reset();
    if (hr != S_OK) return hr;
    manager->database_->SetAccessType(access_mode, protection);
    ComPtr<IDBNode> root;
    hr = manager->database_->CreateNode(platform::Bstr::FromAnsi("Plugins").get(), root.out());
    if (hr != S_OK) return hr;
    hr = root->Open(access_mode);
    if (hr != S_OK) return hr;
    root->Close();
    hr = PluginRegistry::Create(root.get(), &manager->registry_);
    if (hr != S_OK) return hr;
    *out = std::move(manager);
    return S_OK;
}

PluginManager::~PluginManager() {
    registry_.reset();
    database_.reset();
    database_library_.reset();
}

HRESULT PluginManager::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPluginManager)) {
        *ppv = static_cast<IPluginManager*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG PluginManager::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG PluginManager::Release() {
    if (refs_.value() <= 0) return 0;
    return static_cast<ULONG>(refs_.Decrement());
}

HRESULT PluginManager::CreateObject(const char* type, const char* name, REFIID iid, void** object) {
    return registry_->CreateObject(type, name, iid, object);
}

HRESULT PluginManager::CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) {
    return registry_->CreateObjectByClsid(clsid, iid, object);
}

HRESULT PluginManager::CreateObjectToSink(const char* type, const char* name, REFIID iid, IObjectSink* sink) {
    return registry_->CreateObjectToSink(type, name, iid, sink);
}

HRESULT PluginManager::CreateObjectByClsidToSink(const GUID* clsid, REFIID iid, IObjectSink* sink) {
    return CallPlugin([&]() -> HRESULT {
        if (clsid && IsEqualCLSID(*clsid, CLSID_PluginRegistry)) {
            // The registry itself, before any plug-in is asked.
            void* registry = nullptr;
            const HRESULT hr = registry_->QueryInterface(iid, &registry);
            if (hr != S_OK) return hr;
            if (!sink) {
                registry_->Release();
                return E_POINTER;
            }
            return sink->OnObject(static_cast<IUnknown*>(registry));
        }
        return registry_->CreateObjectByClsidToSink(clsid, iid, sink);
    });
}

HRESULT PluginManager::EnumClasses(const char* type, IClassEnumCallback* callback) {
    return registry_->EnumClasses(type, callback);
}

}  // namespace qv::comm
