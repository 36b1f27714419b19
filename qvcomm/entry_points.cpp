// The five entry points of the library and the library-wide state behind them, all guarded by
// one process-wide lock.
#include <memory>
#include <mutex>

#include "platform/com_ptr.h"
#include "platform/dynamic_library.h"
#include "common/startup_services.h"
#include "qvcomm/plugin_manager.h"

namespace qv::comm {

namespace {

struct LibraryState {
    std::recursive_mutex section;
    int use_count = 0;
    ULONG access_mode = 0;  // 0 until the first InitializePluginManager, then fixed
    void* protection = nullptr;
    std::unique_ptr<PluginManager> manager;
};

LibraryState& State() {
    static LibraryState state;
    return state;
}

}  // namespace

int PluginManagerUseCount() {
    std::lock_guard<std::recursive_mutex> guard(State().section);
    return State().use_count;
}

ULONG PluginManagerAccessMode() {
    std::lock_guard<std::recursive_mutex> guard(State().section);
    return State().access_mode;
}

}  // namespace qv::comm

using qv::comm::State;
using qv::platform::ComPtr;

QVCOMM_API HRESULT STDMETHODCALLTYPE InitializePluginManager(BOOL writer, void* protection) {
    try {
        auto& s = State();
        std::lock_guard<std::recursive_mutex> guard(s.section);
        if (writer && !s.protection) s.protection = protection;
        if (s.access_mode == 0) {
            s.access_mode = writer ? QVDB_Access_WRITE : QVDB_Access_READ;
        } else if (s.access_mode == QVDB_Access_READ && writer) {
            return E_FAIL;  // a writer cannot join a library that runs as a reader
        }
        ++s.use_count;
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

QVCOMM_API void STDMETHODCALLTYPE UninitializePluginManager() {
    try {
        auto& s = State();
        std::unique_ptr<qv::comm::PluginManager> taken;
        {
            std::lock_guard<std::recursive_mutex> guard(s.section);
            if (--s.use_count > 0) return;
            taken = std::move(s.manager);
            s.protection = nullptr;
        }
        taken.reset();  // destroyed outside the lock, whatever its reference count
    } catch (...) {
    }
}

QVCOMM_API HRESULT STDMETHODCALLTYPE GetPluginManager(IPluginManager** out) {
    try {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& s = State();
        std::lock_guard<std::recursive_mutex> guard(s.section);
        if (s.use_count < 1) return E_FAIL;
        if (!s.manager) {
            const HRESULT hr = qv::comm::PluginManager::Create(s.access_mode, s.protection, &s.manager);
            if (hr != S_OK) return hr;
        }
        s.manager->AddRef();
        *out = s.manager.get();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

namespace {

// The registry through the manager, as the library's own callers reach it.
HRESULT Registry(ComPtr<IPluginManager>* manager, ComPtr<IPluginRegistry>* registry) {
    HRESULT hr = GetPluginManager(manager->out());
    if (hr == S_OK && !*manager) hr = E_FAIL;
    if (hr != S_OK) return hr;
    hr = (*manager)->CreateObjectByClsid(&CLSID_PluginRegistry, IID_IPluginRegistry, registry->out_void());
    if (hr == S_OK && !*registry) hr = E_FAIL;
    return hr;
}

}  // namespace

QVCOMM_API BOOL STDMETHODCALLTYPE RegisterPluginLibrary(const char* path) {
    try {
        if (InitializePluginManager(TRUE, nullptr) != S_OK) return FALSE;
        HRESULT hr;
        {
            ComPtr<IPluginManager> manager;
            ComPtr<IPluginRegistry> registry;
            hr = Registry(&manager, &registry);
            if (hr == S_OK) hr = registry->RegisterPlugin(path);
        }
        UninitializePluginManager();
        return hr == S_OK ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

QVCOMM_API BOOL STDMETHODCALLTYPE UnregisterPluginLibrary(const char* path) {
    try {
        uint32_t error = 0;
        qv::platform::ScopedModule library(qv::platform::OpenLibrary(path ? path : "", &error));
        if (!library) return FALSE;
        auto get_id = reinterpret_cast<QVPLUGIN_GetPluginId>(qv::startup::ResolveProcedure(library.get(), "GetPluginId"));
        if (!get_id) return FALSE;
        GUID id{};
        if (qv::comm::CallPlugin([&] { return get_id(&id); }) != S_OK) return FALSE;
        if (InitializePluginManager(TRUE, nullptr) != S_OK) return FALSE;
        HRESULT hr;
        {
            ComPtr<IPluginManager> manager;
            ComPtr<IPluginRegistry> registry;
            hr = Registry(&manager, &registry);
            if (hr == S_OK) hr = registry->UnregisterPlugin(&id);
        }
        UninitializePluginManager();
        return hr == S_OK ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}
