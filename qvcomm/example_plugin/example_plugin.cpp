// An example plug-in: two classes by type and name ("qv.example" "Greeter" and "Counter") and
// one by class identifier (the clock), all behind IExampleObject.
#include <atomic>
#include <cstdio>
#include <ctime>
#include <new>
#include <string_view>

#include "example_objects.h"
#include "qvcomm/qvcomm.h"

QV_PLUGIN_ENTRY_POINTS;

namespace {

std::atomic<int> g_initialised{0};

class ExampleObject final : public IExampleObject {
public:
    enum class Kind { Greeter, Counter, Clock };
    explicit ExampleObject(Kind kind) : kind_(kind) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IExampleObject)) {
            *ppv = static_cast<IExampleObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const int n = --refs_;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE Describe(char* buffer, ULONG size) override {
        if (!buffer || size == 0) return E_POINTER;
        switch (kind_) {
            case Kind::Greeter: std::snprintf(buffer, size, "Hello from the example plug-in"); break;
            case Kind::Counter: std::snprintf(buffer, size, "Counter at %d", steps_.load()); break;
            case Kind::Clock: std::snprintf(buffer, size, "Clock: %ld seconds since 1970", static_cast<long>(std::time(nullptr))); break;
        }
        return S_OK;
    }
    LONG STDMETHODCALLTYPE Step() override { return ++steps_; }

private:
    ~ExampleObject() = default;
    Kind kind_;
    std::atomic<int> refs_{0};
    std::atomic<int> steps_{0};
};

HRESULT Make(ExampleObject::Kind kind, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto* o = new (std::nothrow) ExampleObject(kind);
    if (!o) return E_OUTOFMEMORY;
    o->AddRef();
    const HRESULT hr = o->QueryInterface(iid, object);
    o->Release();
    return hr;
}

bool KindOf(const char* type, const char* name, ExampleObject::Kind* kind) {
    const std::string_view t = type ? type : "", n = name ? name : "";
    if (t != kExampleType) return false;
    if (n == "Greeter") return *kind = ExampleObject::Kind::Greeter, true;
    if (n == "Counter") return *kind = ExampleObject::Kind::Counter, true;
    return false;
}

class ExamplePlugin final : public IPlugin {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPlugin)) {
            *ppv = static_cast<IPlugin*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const int n = --refs_;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE Register(IPluginRegistry* registry) override {
        HRESULT hr = registry->RegisterPluginClass(kExampleType, "Greeter", &kExamplePluginId);
        if (hr == S_OK) hr = registry->RegisterPluginClass(kExampleType, "Counter", &kExamplePluginId);
        if (hr == S_OK) hr = registry->RegisterPluginClassByClsid(&CLSID_ExampleClock, &kExamplePluginId);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unregister(IPluginRegistry* registry) override {
        return registry->UnregisterPluginClassByClsid(&CLSID_ExampleClock);
    }
    HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid, void** object) override {
        ExampleObject::Kind kind;
        if (!KindOf(type, name, &kind)) return REGDB_E_CLASSNOTREG;
        return Make(kind, iid, object);
    }
    HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) override {
        if (!clsid || !IsEqualCLSID(*clsid, CLSID_ExampleClock)) return REGDB_E_CLASSNOTREG;
        return Make(ExampleObject::Kind::Clock, iid, object);
    }
    HRESULT STDMETHODCALLTYPE CreateObjectToSink(const char* type, const char* name, REFIID iid,
                                                 IObjectSink* sink) override {
        void* object = nullptr;
        const HRESULT hr = CreateObject(type, name, iid, &object);
        return hr == S_OK ? sink->OnObject(static_cast<IUnknown*>(object)) : hr;
    }
    HRESULT STDMETHODCALLTYPE CreateObjectByClsidToSink(const GUID* clsid, REFIID iid, IObjectSink* sink) override {
        void* object = nullptr;
        const HRESULT hr = CreateObjectByClsid(clsid, iid, &object);
        return hr == S_OK ? sink->OnObject(static_cast<IUnknown*>(object)) : hr;
    }

private:
    ~ExamplePlugin() = default;
    std::atomic<int> refs_{0};
};

}  // namespace

// Several loads of one library may be initialised at once; each is balanced by one Terminate.
HRESULT STDMETHODCALLTYPE Initialize() {
    ++g_initialised;
    return S_OK;
}

void STDMETHODCALLTYPE Terminate() { --g_initialised; }

HRESULT STDMETHODCALLTYPE GetPluginId(GUID* id) {
    if (!id) return E_POINTER;
    *id = kExamplePluginId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE GetPlugin(void*, IPlugin** plugin) {
    if (!plugin) return E_POINTER;
    auto* p = new (std::nothrow) ExamplePlugin();
    if (!p) return E_OUTOFMEMORY;
    p->AddRef();
    *plugin = p;
    return S_OK;
}
