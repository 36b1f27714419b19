// Plug-ins for the tests, one library per way of behaving (TEST_PLUGIN_MODE):
//   0 well-behaved        1 no "Terminate"          2 "Initialize" fails
//   3 "GetPluginId" fails  4 "GetPlugin" fails       5 CreateObject throws
// Each appends its calls to the file named by QV_PLUGIN_LOG, one line each: "<mode> <call>".
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string_view>

#include "qvcomm/qvcomm.h"

#ifndef TEST_PLUGIN_MODE
#define TEST_PLUGIN_MODE 0
#endif

extern "C" QV_EXPORT HRESULT STDMETHODCALLTYPE Initialize();
#if TEST_PLUGIN_MODE != 1
extern "C" QV_EXPORT void STDMETHODCALLTYPE Terminate();
#endif
extern "C" QV_EXPORT HRESULT STDMETHODCALLTYPE GetPluginId(GUID* id);
extern "C" QV_EXPORT HRESULT STDMETHODCALLTYPE GetPlugin(void* reserved, IPlugin** plugin);

namespace {

constexpr HRESULT kInitializeFailure = static_cast<HRESULT>(0x80041001u);
constexpr HRESULT kIdFailure = static_cast<HRESULT>(0x80041002u);
constexpr HRESULT kGetPluginFailure = static_cast<HRESULT>(0x80041003u);

// {00C0FFEE-0000-4000-8000-00000000000m}, m the mode.
constexpr GUID kId = {0x00C0FFEE, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, TEST_PLUGIN_MODE}};

void Log(const char* call) {
    if (const char* path = std::getenv("QV_PLUGIN_LOG")) {
        if (FILE* f = std::fopen(path, "ab")) {
            std::fprintf(f, "%d %s\n", TEST_PLUGIN_MODE, call);
            std::fclose(f);
        }
    }
}

// The objects it makes: a plain IUnknown.
class Thing final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown)) return *ppv = nullptr, E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const int n = --refs_;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

private:
    std::atomic<int> refs_{0};
};

HRESULT MakeThing(REFIID iid, void** object) {
    if (TEST_PLUGIN_MODE == 5) throw std::runtime_error("plug-in code throws");
    auto* t = new Thing();
    t->AddRef();
    const HRESULT hr = t->QueryInterface(iid, object);
    t->Release();
    return hr;
}

class TestPlugin final : public IPlugin {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPlugin)) return *ppv = nullptr, E_NOINTERFACE;
        *ppv = static_cast<IPlugin*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const int n = --refs_;
        if (n == 0) {
            Log("Release");
            delete this;
        }
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE Register(IPluginRegistry* registry) override {
        Log("Register");
        HRESULT hr = registry->RegisterPluginClass("test.type", "Thing", &kId);
        if (hr == S_OK) hr = registry->RegisterPluginClass("test.type", "Other", &kId);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Unregister(IPluginRegistry*) override {
        Log("Unregister");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid, void** object) override {
        Log("CreateObject");
        if (std::string_view(type ? type : "") != "test.type") return REGDB_E_CLASSNOTREG;
        (void)name;
        return MakeThing(iid, object);
    }
    HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID*, REFIID iid, void** object) override {
        return MakeThing(iid, object);
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
    std::atomic<int> refs_{0};
};

}  // namespace

HRESULT STDMETHODCALLTYPE Initialize() {
    Log("Initialize");
    return TEST_PLUGIN_MODE == 2 ? kInitializeFailure : S_OK;
}

#if TEST_PLUGIN_MODE != 1
void STDMETHODCALLTYPE Terminate() { Log("Terminate"); }
#endif

HRESULT STDMETHODCALLTYPE GetPluginId(GUID* id) {
    Log("GetPluginId");
    if (TEST_PLUGIN_MODE == 3) return kIdFailure;
    *id = kId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE GetPlugin(void*, IPlugin** plugin) {
    Log("GetPlugin");
    if (TEST_PLUGIN_MODE == 4) return kGetPluginFailure;
    auto* p = new TestPlugin();
    p->AddRef();
    *plugin = p;
    return S_OK;
}
