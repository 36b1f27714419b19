// PluginManager: the one manager of the process, and the library-wide state behind the entry
// points.
#pragma once

#include <memory>

#include "platform/com_ptr.h"
#include "platform/ref_count.h"
#include "qvcomm/loaded_library.h"
#include "qvcomm/plugin_registry.h"
#include "qvcomm/qvcomm.h"
#include "qvcomm/qvcommdb.h"

namespace qv::comm {

class PluginManager final : public IPluginManager {
public:
    // Binds the database, makes a database manager with the access mode and protection routine,
    // opens and closes "Plugins" once and builds the registry on it.
    static HRESULT Create(ULONG access_mode, void* protection, std::unique_ptr<PluginManager>* manager);
    // In this order: the registry (terminating every loaded plug-in), the database manager, the
    // binding of the database.
    ~PluginManager() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE CreateObjectToSink(const char* type, const char* name, REFIID iid,
                                                 IObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE CreateObjectByClsidToSink(const GUID* clsid, REFIID iid, IObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE EnumClasses(const char* type, IClassEnumCallback* callback) override;

    PluginRegistry* registry() const { return registry_.get(); }

private:
    PluginManager() = default;

    std::unique_ptr<QVCOMMDBLibrary> database_library_;
    platform::ComPtr<IDBManager> database_;
    std::unique_ptr<PluginRegistry> registry_;
    platform::RefCount refs_{0};
};

// For tests: the library-wide state.
int PluginManagerUseCount();
ULONG PluginManagerAccessMode();

}  // namespace qv::comm
