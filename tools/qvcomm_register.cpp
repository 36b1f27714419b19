// qvcomm-register: registers a plug-in library with QVComm, unregisters it, or lists what is
// registered.
//
//   qvcomm-register PATH               register the plug-in library at PATH
//   qvcomm-register --unregister PATH  unregister it
//   qvcomm-register --list             print the registered plug-ins and their classes
//
// The store is the machine's default store (on Linux under QV_SYSTEM_DIR when it is set).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/dynamic_library.h"
#include "qvcomm/qvcomm.h"
#include "qvcomm/qvcommdb.h"

using qv::platform::Bstr;
using qv::platform::ComPtr;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: qvcomm-register PATH\n"
                 "       qvcomm-register --unregister PATH\n"
                 "       qvcomm-register --list\n");
    return 2;
}

std::vector<std::string> Children(IDBNode* node) {
    std::vector<std::string> names;
    ComPtr<IDBEnumNode> e;
    if (node->EnumChildren(e.out()) != S_OK) return names;
    for (Bstr name; e->Next(name.out()) == S_OK;) names.push_back(name.ToAnsi());
    return names;
}

std::string Value(IDBNode* node, const char* name) {
    Bstr text;
    return node->GetString(Bstr::FromAnsi(name).get(), text.out()) == S_OK ? text.ToAnsi() : std::string("(none)");
}

// Reads the "Plugins" tree of the store through the database's own interfaces.
int List() {
    // The database the plug-in library binds: the one beside it.
    std::string qvcomm = qv::platform::ModulePathOf(reinterpret_cast<const void*>(&GetPluginManager));
    qvcomm = qvcomm.substr(0, qvcomm.find_last_of("\\/") + 1);
    uint32_t error = 0;
    qv::platform::ScopedModule module(qv::platform::OpenLibrary(qvcomm + "QVCommDB.dll", &error));
    if (!module) {
        std::fprintf(stderr, "qvcomm-register: cannot load QVCommDB.dll (error %u)\n", error);
        return 1;
    }
    auto get_class_object = reinterpret_cast<QVDB_DllGetClassObject>(
        qv::platform::FindProcedure(module.get(), "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    ComPtr<IDBManager> manager;
    if (!get_class_object || get_class_object(CLSID_DBManager, IID_IClassFactory, factory.out_void()) != S_OK ||
        factory->CreateInstance(nullptr, IID_IDBManager, manager.out_void()) != S_OK) {
        std::fprintf(stderr, "qvcomm-register: cannot make a database manager\n");
        return 1;
    }
    factory.reset();
    manager->SetAccessType(QVDB_Access_READ, nullptr);
    ComPtr<IDBNode> plugins;
    manager->CreateNode(Bstr::FromAnsi("Plugins").get(), plugins.out());
    const HRESULT hr = plugins->Open(QVDB_Access_READ);
    if (hr != S_OK) {
        std::printf("no plug-ins registered (the store has no \"Plugins\" node: 0x%08X)\n", static_cast<unsigned>(hr));
        return 0;
    }
    int count = 0;
    for (const std::string& name : Children(plugins.get())) {
        ComPtr<IDBNode> plugin, classes;
        plugins->CreateNode(Bstr::FromAnsi(name).get(), plugin.out());
        std::printf("%s\n  PATH %s\n", name.c_str(), Value(plugin.get(), "PATH").c_str());
        plugin->CreateNode(Bstr::FromAnsi("CLASSES").get(), classes.out());
        for (const std::string& class_node : Children(classes.get())) {
            ComPtr<IDBNode> cls;
            classes->CreateNode(Bstr::FromAnsi(class_node).get(), cls.out());
            std::printf("  %s: %s %s\n", class_node.c_str(), Value(cls.get(), "type").c_str(),
                        Value(cls.get(), "name").c_str());
        }
        ++count;
    }
    plugins->Close();
    if (count == 0) std::printf("no plug-ins registered\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) return List();
    if (argc == 3 && std::strcmp(argv[1], "--unregister") == 0) {
        if (!UnregisterPluginLibrary(argv[2])) {
            std::fprintf(stderr, "qvcomm-register: %s: the plug-in library could not be unregistered\n", argv[2]);
            return 1;
        }
        std::printf("unregistered %s\n", argv[2]);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') return Usage();
    if (!RegisterPluginLibrary(argv[1])) {
        std::fprintf(stderr,
                     "qvcomm-register: %s: the plug-in library could not be registered "
                     "(see the trace lines for the step that failed)\n",
                     argv[1]);
        return 1;
    }
    std::printf("registered %s\n", argv[1]);
    return 0;
}
