// PluginRegistry: the plug-in and class tables mirrored from the "Plugins" tree of the
// configuration database, and the cache of loaded plug-ins.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/com_ptr.h"
#include "platform/ref_count.h"
#include "qvcomm/loaded_library.h"
#include "qvcomm/qvcomm.h"
#include "qvcomm/qvcommdb.h"

namespace qv::comm {

// "pl_" and the identifier in upper-case hexadecimal without braces: 39 characters.
std::string PluginNodeName(const GUID& id);

// The type under which classes registered by class identifier are listed.
inline constexpr char kGuidNamespace[] = QVCOMM_GUID_NAMESPACE;

// One loaded plug-in library with its IPlugin; destroyed at its last Release, which terminates
// the plug-in and frees the library.
class LoadedPlugin final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    IPlugin* plugin() const { return plugin_.get(); }
    const std::string& node_name() const { return node_name_; }

private:
    friend class PluginRegistry;
    explicit LoadedPlugin(const std::string& path);
    ~LoadedPlugin();

    LoadedLibrary library_;
    bool initialised_ = false;
    std::string node_name_;
    platform::ComPtr<IPlugin> plugin_;
    platform::RefCount refs_{0};
};

class PluginRegistry final : public IPluginRegistry {
public:
    // Builds the tables from the "Plugins" node; fails only when that node cannot be opened for
    // reading or its children cannot be listed.
    static HRESULT Create(IDBNode* root, std::unique_ptr<PluginRegistry>* registry);
    ~PluginRegistry() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE RegisterPlugin(const char* path) override;
    HRESULT STDMETHODCALLTYPE UnregisterPlugin(const GUID* plugin_id) override;
    HRESULT STDMETHODCALLTYPE RegisterPluginClass(const char* type, const char* name, const GUID* plugin_id) override;
    HRESULT STDMETHODCALLTYPE RegisterPluginClassByClsid(const GUID* clsid, const GUID* plugin_id) override;
    HRESULT STDMETHODCALLTYPE UnregisterPluginClassByClsid(const GUID* clsid) override;
    HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE CreateObjectToSink(const char* type, const char* name, REFIID iid,
                                                 IObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE CreateObjectByClsidToSink(const GUID* clsid, REFIID iid, IObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE EnumClasses(const char* type, IClassEnumCallback* callback) override;

    // For tests and tools: the tables as they stand.
    const std::map<std::string, std::string>& path_table() const { return paths_; }
    std::map<std::string, std::map<std::string, std::string>> class_table() const;
    size_t cached_plugins() const;

private:
    explicit PluginRegistry(IDBNode* root);
    HRESULT Build();
    HRESULT LoadPlugin(const std::string& path, platform::ComPtr<LoadedPlugin>* out);
    HRESULT GetOrLoadPlugin(const std::string& node_name, platform::ComPtr<LoadedPlugin>* out);
    // A class: the node name of its plug-in, and that plug-in once it is in the cache. Cached
    // plug-ins stay until the registry goes, so the pointer needs no reference of its own.
    struct ClassEntry {
        std::string node_name;
        mutable std::atomic<LoadedPlugin*> plugin{nullptr};
        explicit ClassEntry(std::string node) : node_name(std::move(node)) {}
    };
    using Names = std::map<std::string, ClassEntry, std::less<>>;

    const ClassEntry* FindClass(std::string_view type, std::string_view name) const;
    void SetClass(const std::string& type, const std::string& name, const std::string& node_name);
    // The plug-in of a class, loaded when it is not cached yet (no reference added: cached
    // plug-ins live as long as the registry).
    HRESULT PluginOf(const ClassEntry& entry, IPlugin** plugin);
    // The same for a class named by type and name, or by CLSID; REGDB_E_CLASSNOTREG when none.
    HRESULT PluginOf(std::string_view type, std::string_view name, IPlugin** plugin);
    HRESULT PluginOf(const GUID& clsid, IPlugin** plugin);

    platform::ComPtr<IDBNode> root_;
    std::map<std::string, std::string> paths_;          // node name -> library path
    std::map<std::string, Names, std::less<>> classes_;  // type -> name -> class
    std::map<std::string, platform::ComPtr<LoadedPlugin>> cache_;          // guarded by lock_
    mutable std::mutex lock_;
    platform::RefCount refs_{0};
};

// Runs plug-in code: an exception it throws becomes E_FAIL.
template <class F>
HRESULT CallPlugin(F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace qv::comm
