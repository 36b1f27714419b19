// Demonstration of the configuration database: loads the module by its file name, builds a
// small tree through the COM interfaces, saves it into a store file in a fresh temporary
// directory, prints the file, then reads it back with a second manager and prints the tree.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/bstr.h"
#include "platform/dynamic_library.h"
#include "platform/filesystem.h"
#include "qvcomm/qvcommdb.h"

using qv::platform::Bstr;

namespace {

template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref() {
        if (p) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

bool Check(HRESULT hr, const char* what) {
    if (hr == S_OK) return true;
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    return false;
}

void PrintTree(IDBNode* node, int level) {
    Bstr name;
    node->GetName(name.out());
    std::printf("%*s%s\n", level * 2, "", name.ToAnsi().c_str());
    Ref<IDBEnumNode> values;
    if (node->EnumValues(values.out()) == S_OK) {
        Ref<IUnknown> item;
        while (values->NextIUnknown(item.out()) == S_OK) {
            IDBValue* value = nullptr;
            item->QueryInterface(IID_IDBValue, reinterpret_cast<void**>(&value));
            Bstr vname, text;
            value->GetName(vname.out());
            value->GetString(text.out());
            std::printf("%*s%s = \"%s\"\n", level * 2 + 2, "", vname.ToAnsi().c_str(),
                        text.ToAnsi().c_str());
            value->Release();
            item.p->Release();
            item.p = nullptr;
        }
    }
    Ref<IDBEnumNode> children;
    if (node->EnumChildren(children.out()) == S_OK) {
        Ref<IUnknown> item;
        while (children->NextIUnknown(item.out()) == S_OK) {
            IDBNode* child = nullptr;
            item->QueryInterface(IID_IDBNode, reinterpret_cast<void**>(&child));
            PrintTree(child, level + 1);
            child->Release();
            item.p->Release();
            item.p = nullptr;
        }
    }
}

bool MakeManager(QVDB_DllGetClassObject get_class_object, IDBManager** manager) {
    Ref<IClassFactory> factory;
    if (!Check(get_class_object(CLSID_DBManager, IID_IClassFactory, reinterpret_cast<void**>(factory.out())),
               "DllGetClassObject"))
        return false;
    return Check(factory->CreateInstance(nullptr, IID_IDBManager, reinterpret_cast<void**>(manager)),
                 "CreateInstance");
}

}  // namespace

int main() {
    uint32_t error = 0;
    qv::platform::ScopedModule module(qv::platform::OpenLibrary("QVCommDB.dll", &error));
    if (!module) {
        std::fprintf(stderr, "cannot load QVCommDB.dll (error %u)\n", error);
        return 1;
    }
    auto get_class_object = reinterpret_cast<QVDB_DllGetClassObject>(
        qv::platform::FindProcedure(module.get(), "DllGetClassObject"));
    if (!get_class_object) {
        std::fprintf(stderr, "QVCommDB.dll has no DllGetClassObject\n");
        return 1;
    }

    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvcommdb-demo-XXXXXX";
#if defined(_WIN32)
    dir = std::string(std::getenv("TEMP") ? std::getenv("TEMP") : ".") + "\\qvcommdb-demo";
    qv::platform::CreateDirectoryPath(dir);
#else
    if (!mkdtemp(dir.data())) {
        std::perror("mkdtemp");
        return 1;
    }
#endif
    const std::string store = dir + qv::platform::kPathSeparator + "Demo.xml";
    std::printf("store file: %s\n\n", store.c_str());

    {
        Ref<IDBManager> writer;
        if (!MakeManager(get_class_object, writer.out())) return 1;
        writer->Init(Bstr::FromAnsi(store).get());
        writer->SetAccessType(QVDB_Access_WRITE, nullptr);
        Ref<IDBNode> plugins, classes;
        if (!Check(writer->CreateNode(Bstr::FromAnsi("Plugins/pl_demo").get(), plugins.out()), "CreateNode"))
            return 1;
        if (!Check(plugins->Open(QVDB_Access_WRITE), "Open")) return 1;
        plugins->SetString(Bstr::FromAnsi("PATH").get(), Bstr::FromAnsi("/opt/demo/libdemo.so").get());
        plugins->SetDWord(Bstr::FromAnsi("Version").get(), 4294967295u);
        unsigned char blob[] = {0x00, 0xFF, 0x10};
        plugins->SetBlob(Bstr::FromAnsi("Key").get(), sizeof blob, blob);
        plugins->CreateNode(Bstr::FromAnsi("CLASSES/class0").get(), classes.out());
        classes->SetString(Bstr::FromAnsi("type").get(), Bstr::FromAnsi("demo.tools").get());
        classes->SetString(Bstr::FromAnsi("name").get(), Bstr::FromAnsi("Say \"hi\" <now> & then\ttab").get());
        if (!Check(plugins->Close(), "Close")) return 1;
    }

    std::ifstream in(store, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("--- store file text (%zu bytes) ---\n%s", text.size(), text.c_str());

    {
        Ref<IDBManager> reader;
        if (!MakeManager(get_class_object, reader.out())) return 1;
        reader->Init(Bstr::FromAnsi(store).get());
        reader->SetAccessType(QVDB_Access_READ, nullptr);
        Ref<IDBNode> root;
        reader->CreateNode(Bstr::FromAnsi("QVCDB:QVCommDB").get(), root.out());
        Ref<IDBNode> plugins;
        reader->CreateNode(Bstr::FromAnsi("Plugins").get(), plugins.out());
        if (!Check(root->Open(QVDB_Access_READ), "Open for reading")) return 1;
        std::printf("\n--- tree read back by a second manager ---\n");
        PrintTree(root.p, 0);
        ULONG version = 0;
        Ref<IDBNode> demo;
        reader->CreateNode(Bstr::FromAnsi("Plugins/pl_demo").get(), demo.out());
        demo->GetDWord(Bstr::FromAnsi("Version").get(), &version);
        ULONG size = 0;
        unsigned char* bytes = nullptr;
        demo->GetBlob(Bstr::FromAnsi("Key").get(), &size, &bytes);
        std::printf("\nVersion as a number: %u; Key as a blob: %u bytes:", static_cast<unsigned>(version),
                    static_cast<unsigned>(size));
        for (ULONG i = 0; i < size; ++i) std::printf(" %02X", bytes[i]);
        std::printf("\n");
        root->Close();
    }
    return 0;
}
