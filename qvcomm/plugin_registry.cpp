#include "qvcomm/plugin_registry.h"

#include <cstdio>
#include <vector>

#include "platform/bstr.h"
#include "platform/debug_output.h"
#include "platform/guid.h"

namespace qv::comm {

using platform::Bstr;
using platform::ComPtr;

namespace {

// Small steps on the database, through its interfaces only.
HRESULT Child(IDBNode* parent, const std::string& path, ComPtr<IDBNode>* out) {
    return parent->CreateNode(Bstr::FromAnsi(path).get(), out->out());
}

HRESULT ReadString(IDBNode* node, const char* name, std::string* out) {
    Bstr text;
    const HRESULT hr = node->GetString(Bstr::FromAnsi(name).get(), text.out());
    if (hr == S_OK) *out = text.ToAnsi();
    return hr;
}

HRESULT WriteString(IDBNode* node, const char* name, const std::string& value) {
    return node->SetString(Bstr::FromAnsi(name).get(), Bstr::FromAnsi(value).get());
}

// The names of a node's children, in the order the database gives them.
HRESULT ChildNames(IDBNode* node, std::vector<std::string>* names) {
    ComPtr<IDBEnumNode> e;
    const HRESULT hr = node->EnumChildren(e.out());
    if (hr != S_OK) return hr;
    for (Bstr name; e->Next(name.out()) == S_OK;) names->push_back(name.ToAnsi());
    return S_OK;
}

void Debug(const char* text) { platform::WriteDebugText(text); }

std::string Text(const char* s) { return s ? s : ""; }

}  // namespace

std::string PluginNodeName(const GUID& g) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "pl_%.8X-%.4X-%.4X-%.2X%.2X-%.2X%.2X%.2X%.2X%.2X%.2X",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3),
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

// ---- LoadedPlugin ------------------------------------------------------------------------

LoadedPlugin::LoadedPlugin(const std::string& path)
    : library_(path, {"Initialize", "Terminate", "GetPluginId", "GetPlugin"}) {}

LoadedPlugin::~LoadedPlugin() {
    plugin_.reset();
    if (initialised_) {
        auto terminate = reinterpret_cast<QVPLUGIN_Terminate>(library_.entry(1));
        CallPlugin([&] {
            terminate();
            return S_OK;
        });
    }
}

HRESULT LoadedPlugin::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG LoadedPlugin::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG LoadedPlugin::Release() {
    const int32_t n = refs_.Decrement();
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

// ---- construction ------------------------------------------------------------------------

PluginRegistry::PluginRegistry(IDBNode* root) : root_(ComPtr<IDBNode>::Share(root)) {}

PluginRegistry::~PluginRegistry() {
    classes_.clear();
    root_.reset();
    // Every cached plug-in that nobody else holds is terminated and freed here.
    std::map<std::string, ComPtr<LoadedPlugin>> cache;
    {
        std::lock_guard<std::mutex> guard(lock_);
        cache.swap(cache_);
    }
    cache.clear();
    paths_.clear();
}

HRESULT PluginRegistry::Create(IDBNode* root, std::unique_ptr<PluginRegistry>* registry) {
    try {
        std::unique_ptr<PluginRegistry> r(new PluginRegistry(root));
        const HRESULT hr = r->Build();
        if (hr != S_OK) return hr;
        *registry = std::move(r);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT PluginRegistry::Build() {
    HRESULT hr = root_->Open(QVDB_Access_READ);
    if (hr != S_OK) return hr;
    std::vector<std::string> plugins;
    hr = ChildNames(root_.get(), &plugins);
    if (hr != S_OK) {
        root_->Close();
        return hr;
    }
    for (std::string name : plugins) {
        if (name.size() > 41) name.resize(41);
        ComPtr<IDBNode> plugin;
        if (Child(root_.get(), name, &plugin) == S_OK && plugin->Open(QVDB_Access_READ) == S_OK) {
            std::string path;
            if (ReadString(plugin.get(), "PATH", &path) == S_OK) paths_.emplace(name, path);
            plugin->Close();
        }
        ComPtr<IDBNode> classes;
        if (Child(root_.get(), name + "/CLASSES", &classes) != S_OK || classes->Open(QVDB_Access_READ) != S_OK)
            continue;
        std::vector<std::string> class_nodes;
        if (ChildNames(classes.get(), &class_nodes) == S_OK) {
            for (const std::string& class_node : class_nodes) {
                ComPtr<IDBNode> cls;
                if (Child(classes.get(), class_node, &cls) != S_OK || cls->Open(QVDB_Access_READ) != S_OK) continue;
                std::string class_name, type;
                if (ReadString(cls.get(), "name", &class_name) == S_OK && ReadString(cls.get(), "type", &type) == S_OK)
                    SetClass(type, class_name, name);
                cls->Close();
            }
        }
        classes->Close();
    }
    root_->Close();
    return S_OK;
}

// ---- IUnknown: owned by the library, never destroyed by Release --------------------------

HRESULT PluginRegistry::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPluginRegistry)) {
        *ppv = static_cast<IPluginRegistry*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG PluginRegistry::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG PluginRegistry::Release() {
    if (refs_.value() <= 0) return 0;
    return static_cast<ULONG>(refs_.Decrement());
}

// ---- classes -----------------------------------------------------------------------------

HRESULT PluginRegistry::RegisterPluginClass(const char* type_text, const char* name_text, const GUID* plugin_id) {
    return CallPlugin([&]() -> HRESULT {
        if (!plugin_id) return E_POINTER;
        const std::string type = Text(type_text), name = Text(name_text);
        const std::string node_name = PluginNodeName(*plugin_id);
        SetClass(type, name, node_name);

        // Every node opened here is closed again before a failure is returned, so that the
        // store's mutex never stays held by a failed registration.
        ComPtr<IDBNode> classes;
        HRESULT hr = Child(root_.get(), node_name + "/CLASSES", &classes);
        if (hr != S_OK) return Debug("create of plugin node failed"), hr;
        hr = classes->Open(QVDB_Access_WRITE);
        if (hr != S_OK) return Debug("open plugin node for write failed"), hr;
        auto fail = [&](const char* text, HRESULT code) {
            Debug(text);
            classes->Close();
            return code;
        };
        std::vector<std::string> class_nodes;
        hr = ChildNames(classes.get(), &class_nodes);
        if (hr != S_OK) return fail("enum children failed", hr);
        int highest = -1;
        for (const std::string& class_node : class_nodes) {
            ComPtr<IDBNode> cls;
            hr = Child(classes.get(), class_node, &cls);
            if (hr != S_OK) return fail("create class failed", hr);
            hr = cls->Open(QVDB_Access_READ);
            if (hr != S_OK) return fail("open class for read failed", hr);
            std::string stored;
            hr = ReadString(cls.get(), "type", &stored);
            if (hr != S_OK) return cls->Close(), fail("get type failed", hr);
            if (stored == type) {
                hr = ReadString(cls.get(), "name", &stored);
                if (hr != S_OK) return cls->Close(), fail("get name failed", hr);
                if (stored == name) {
                    if ((hr = cls->Close()) != S_OK) return fail("close of class node failed", hr);
                    if ((hr = classes->Close()) != S_OK) return Debug("close of plugin node failed"), hr;
                    return S_OK;
                }
            }
            if ((hr = cls->Close()) != S_OK) return fail("close of class node failed", hr);
            int number = 0;
            char extra = 0;
            if (std::sscanf(class_node.c_str(), "class%d%c", &number, &extra) != 1)
                return fail("invalid class node name format", E_FAIL);
            if (number > highest) highest = number;
        }
        ComPtr<IDBNode> fresh;
        hr = Child(classes.get(), "class" + std::to_string(highest + 1), &fresh);
        if (hr != S_OK) return fail("create class failed", hr);
        hr = fresh->Open(QVDB_Access_WRITE);
        if (hr != S_OK) return fail("open class for write failed", hr);
        if ((hr = WriteString(fresh.get(), "type", type)) != S_OK) return fresh->Close(), fail("set type failed", hr);
        if ((hr = WriteString(fresh.get(), "name", name)) != S_OK) return fresh->Close(), fail("set name failed", hr);
        if ((hr = fresh->Close()) != S_OK) return fail("close of class node failed", hr);
        if ((hr = classes->Close()) != S_OK) return Debug("close of plugin node failed"), hr;
        return S_OK;
    });
}

HRESULT PluginRegistry::RegisterPluginClassByClsid(const GUID* clsid, const GUID* plugin_id) {
    if (!clsid) return E_POINTER;
    return RegisterPluginClass(kGuidNamespace, platform::GuidToString(*clsid).c_str(), plugin_id);
}

HRESULT PluginRegistry::UnregisterPluginClassByClsid(const GUID* clsid) {
    return CallPlugin([&]() -> HRESULT {
        if (!clsid) return E_POINTER;
        classes_[kGuidNamespace].erase(platform::GuidToString(*clsid));
        return S_OK;
    });
}

HRESULT PluginRegistry::EnumClasses(const char* type, IClassEnumCallback* callback) {
    return CallPlugin([&]() -> HRESULT {
        if (!callback) return E_INVALIDARG;
        const auto entry = classes_.find(std::string_view(type ? type : ""));
        if (entry == classes_.end()) return S_OK;
        for (const auto& [name, node] : entry->second) {
            const HRESULT hr = callback->OnClass(name.c_str());
            if (hr != S_OK) return hr;
        }
        return S_OK;
    });
}

void PluginRegistry::SetClass(const std::string& type, const std::string& name, const std::string& node_name) {
    auto types = classes_.find(type);
    if (types == classes_.end()) types = classes_.emplace(type, Names()).first;
    Names& names = types->second;
    names.erase(name);
    names.emplace(name, node_name);
}

const PluginRegistry::ClassEntry* PluginRegistry::FindClass(std::string_view type, std::string_view name) const {
    const auto entry = classes_.find(type);
    if (entry == classes_.end()) return nullptr;
    const auto cls = entry->second.find(name);
    return cls == entry->second.end() ? nullptr : &cls->second;
}

HRESULT PluginRegistry::PluginOf(std::string_view type, std::string_view name, IPlugin** plugin) {
    const ClassEntry* entry = FindClass(type, name);
    return entry ? PluginOf(*entry, plugin) : REGDB_E_CLASSNOTREG;
}

HRESULT PluginRegistry::PluginOf(const GUID& clsid, IPlugin** plugin) {
    return PluginOf(kGuidNamespace, platform::GuidToString(clsid), plugin);
}

HRESULT PluginRegistry::PluginOf(const ClassEntry& entry, IPlugin** plugin) {
    if (LoadedPlugin* cached = entry.plugin.load(std::memory_order_acquire)) {
        *plugin = cached->plugin();
        return S_OK;
    }
    ComPtr<LoadedPlugin> loaded;
    const HRESULT hr = GetOrLoadPlugin(entry.node_name, &loaded);
    if (hr != S_OK) return hr;
    // Remembered only when the plug-in is the one cached under the class's node name; a library
    // that names itself otherwise is looked up again each time.
    if (loaded->node_name() == entry.node_name) entry.plugin.store(loaded.get(), std::memory_order_release);
    *plugin = loaded->plugin();
    return S_OK;
}

std::map<std::string, std::map<std::string, std::string>> PluginRegistry::class_table() const {
    std::map<std::string, std::map<std::string, std::string>> table;
    for (const auto& [type, names] : classes_) {
        auto& out = table[type];
        for (const auto& [name, entry] : names) out[name] = entry.node_name;
    }
    return table;
}

size_t PluginRegistry::cached_plugins() const {
    std::lock_guard<std::mutex> guard(lock_);
    return cache_.size();
}

// ---- plug-ins ----------------------------------------------------------------------------

HRESULT PluginRegistry::LoadPlugin(const std::string& path, ComPtr<LoadedPlugin>* out) {
    ComPtr<LoadedPlugin> plugin;
    try {
        plugin = ComPtr<LoadedPlugin>::Share(new LoadedPlugin(path));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    // Plug-in code runs here, outside the lock; a failure undoes the half-built plug-in as its
    // last reference goes (Terminate only once Initialize succeeded).
    LoadedLibrary& library = plugin->library_;
    if (!library.ok()) return static_cast<HRESULT>(library.error());
    HRESULT hr = CallPlugin([&] { return reinterpret_cast<QVPLUGIN_Initialize>(library.entry(0))(); });
    if (hr != S_OK) return hr;
    plugin->initialised_ = true;
    GUID id{};
    hr = CallPlugin([&] { return reinterpret_cast<QVPLUGIN_GetPluginId>(library.entry(2))(&id); });
    if (hr != S_OK) return hr;
    plugin->node_name_ = PluginNodeName(id);
    IPlugin* raw = nullptr;
    hr = CallPlugin([&] { return reinterpret_cast<QVPLUGIN_GetPlugin>(library.entry(3))(nullptr, &raw); });
    if (hr != S_OK) return hr;
    if (!raw) return E_FAIL;
    plugin->plugin_ = ComPtr<IPlugin>::Adopt(raw);

    ComPtr<LoadedPlugin> spare;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto [it, added] = cache_.emplace(plugin->node_name_, plugin);
        if (!added) {
            // Another load of the same plug-in came first: that one is kept.
            spare = std::move(plugin);
            plugin = it->second;
        }
    }
    spare.reset();  // terminated and freed outside the lock
    *out = std::move(plugin);
    return S_OK;
}

HRESULT PluginRegistry::GetOrLoadPlugin(const std::string& node_name, ComPtr<LoadedPlugin>* out) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto cached = cache_.find(node_name);
        if (cached != cache_.end()) {
            *out = cached->second;
            return S_OK;
        }
    }
    const auto path = paths_.find(node_name);
    if (path == paths_.end()) return E_FAIL;
    return LoadPlugin(path->second, out);
}

HRESULT PluginRegistry::RegisterPlugin(const char* path_text) {
    return CallPlugin([&]() -> HRESULT {
        const std::string path = Text(path_text);
        ComPtr<LoadedPlugin> plugin;
        HRESULT hr = LoadPlugin(path, &plugin);
        if (hr != S_OK) return hr;
        const std::string& node_name = plugin->node_name();
        if (paths_.find(node_name) == paths_.end()) {
            paths_.emplace(node_name, path);
            ComPtr<IDBNode> node;
            if ((hr = Child(root_.get(), node_name, &node)) != S_OK) return hr;
            if ((hr = node->Open(QVDB_Access_WRITE)) != S_OK) return hr;
            WriteString(node.get(), "PATH", path);
            node->Close();
        }
        return plugin->plugin()->Register(this);
    });
}

HRESULT PluginRegistry::UnregisterPlugin(const GUID* plugin_id) {
    return CallPlugin([&]() -> HRESULT {
        if (!plugin_id) return E_POINTER;
        const std::string node_name = PluginNodeName(*plugin_id);
        ComPtr<LoadedPlugin> plugin;
        HRESULT hr = GetOrLoadPlugin(node_name, &plugin);
        if (hr != S_OK) return hr;
        if ((hr = plugin->plugin()->Unregister(this)) != S_OK) return hr;
        for (auto& [type, names] : classes_)
            for (auto it = names.begin(); it != names.end();)
                it = it->second.node_name == node_name ? names.erase(it) : std::next(it);
        ComPtr<IDBNode> node;
        if ((hr = Child(root_.get(), node_name, &node)) != S_OK) return hr;
        if ((hr = node->Open(QVDB_Access_WRITE)) != S_OK) return hr;
        return node->DeleteNode();
    });
}

HRESULT PluginRegistry::CreateObject(const char* type, const char* name, REFIID iid, void** object) {
    return CallPlugin([&]() -> HRESULT {
        IPlugin* plugin = nullptr;
        const HRESULT hr = PluginOf(type ? type : "", name ? name : "", &plugin);
        if (hr != S_OK) return hr;
        return plugin->CreateObject(type, name, iid, object);
    });
}

HRESULT PluginRegistry::CreateObjectToSink(const char* type, const char* name, REFIID iid, IObjectSink* sink) {
    return CallPlugin([&]() -> HRESULT {
        IPlugin* plugin = nullptr;
        const HRESULT hr = PluginOf(type ? type : "", name ? name : "", &plugin);
        if (hr != S_OK) return hr;
        return plugin->CreateObjectToSink(type, name, iid, sink);
    });
}

HRESULT PluginRegistry::CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) {
    return CallPlugin([&]() -> HRESULT {
        if (!clsid) return E_POINTER;
        IPlugin* plugin = nullptr;
        const HRESULT hr = PluginOf(*clsid, &plugin);
        if (hr != S_OK) {
            // No plug-in provides it: the registry answers for itself.
            if (IsEqualCLSID(*clsid, CLSID_PluginRegistry)) return QueryInterface(iid, object);
            return hr;
        }
        return plugin->CreateObjectByClsid(clsid, iid, object);
    });
}

HRESULT PluginRegistry::CreateObjectByClsidToSink(const GUID* clsid, REFIID iid, IObjectSink* sink) {
    return CallPlugin([&]() -> HRESULT {
        if (!clsid) return E_POINTER;
        IPlugin* plugin = nullptr;
        const HRESULT hr = PluginOf(*clsid, &plugin);
        if (hr != S_OK) return hr;
        return plugin->CreateObjectByClsidToSink(clsid, iid, sink);
    });
}

}  // namespace qv::comm
