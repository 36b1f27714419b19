// A fresh process for the library-wide state of QVComm: runs one scenario through the entry
// points and prints what it saw, one line per step.
//   qvcomm_helper SCENARIO [PLUGIN]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "example_objects.h"
#include "platform/com_ptr.h"
#include "qvcomm/qvcomm.h"

using qv::platform::ComPtr;

namespace {

void Say(const char* what, HRESULT hr) { std::printf("%s 0x%08X\n", what, static_cast<unsigned>(hr)); }

int g_first_calls = 0, g_second_calls = 0;
int STDMETHODCALLTYPE FirstProtection(ULONG, ULONG) { return ++g_first_calls; }
int STDMETHODCALLTYPE SecondProtection(ULONG, ULONG) { return ++g_second_calls; }

bool DatabaseStillLoaded() {
#if defined(_WIN32)
    return GetModuleHandleA("QVCommDB.dll") != nullptr;
#else
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&GetPluginManager), &info);
    std::string path = info.dli_fname ? info.dli_fname : "";
    path = path.substr(0, path.find_last_of('/') + 1) + "libQVCommDB.so";
    return dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string scenario = argv[1];
    const char* plugin = argc > 2 ? argv[2] : "";

    if (scenario == "reader-then-writer") {
        Say("reader", InitializePluginManager(FALSE, nullptr));
        Say("writer", InitializePluginManager(TRUE, nullptr));
        UninitializePluginManager();
        Say("writer after the reader left", InitializePluginManager(TRUE, nullptr));
        Say("reader again", InitializePluginManager(FALSE, nullptr));
        UninitializePluginManager();
        IPluginManager* m = nullptr;
        Say("manager with no user", GetPluginManager(&m));
    } else if (scenario == "two-writers") {
        Say("first writer", InitializePluginManager(TRUE, reinterpret_cast<void*>(&FirstProtection)));
        Say("second writer", InitializePluginManager(TRUE, reinterpret_cast<void*>(&SecondProtection)));
        IPluginManager* m = nullptr;
        Say("manager", GetPluginManager(&m));
        std::printf("first routine called %s, second routine called %d times\n", g_first_calls > 0 ? "yes" : "no",
                    g_second_calls);
        UninitializePluginManager();
        UninitializePluginManager();
    } else if (scenario == "manager-twice") {
        InitializePluginManager(TRUE, nullptr);
        IPluginManager *a = nullptr, *b = nullptr;
        Say("first", GetPluginManager(&a));
        Say("second", GetPluginManager(&b));
        std::printf("same object %s\n", a == b ? "yes" : "no");
        for (int i = 0; i < 5; ++i) a->Release();
        std::printf("release count after five releases %u\n", static_cast<unsigned>(a->Release()));
        void* registry = nullptr;
        Say("still usable", a->CreateObjectByClsid(&CLSID_PluginRegistry, IID_IPluginRegistry, &registry));
        UninitializePluginManager();
    } else if (scenario == "three-cycles") {
        for (int cycle = 1; cycle <= 3; ++cycle) {
            InitializePluginManager(TRUE, nullptr);
            IPluginManager* m = nullptr;
            Say("cycle", GetPluginManager(&m));
            UninitializePluginManager();
        }
        std::printf("database still loaded %s\n", DatabaseStillLoaded() ? "yes" : "no");
    } else if (scenario == "reader-then-writer-on-empty-store") {
        InitializePluginManager(FALSE, nullptr);
        IPluginManager* m = nullptr;
        Say("reader's manager", GetPluginManager(&m));
        Say("reader's manager again", GetPluginManager(&m));
        UninitializePluginManager();
    } else if (scenario == "writer-on-empty-store") {
        InitializePluginManager(TRUE, nullptr);
        IPluginManager* m = nullptr;
        Say("writer's manager", GetPluginManager(&m));
        struct Count final : IClassEnumCallback {
            int n = 0;
            HRESULT STDMETHODCALLTYPE OnClass(const char*) override { return ++n, S_OK; }
        } count;
        Say("classes", m ? m->EnumClasses(kExampleType, &count) : E_FAIL);
        std::printf("class count %d\n", count.n);
        UninitializePluginManager();
    } else if (scenario == "register-use-unregister") {
        std::printf("register %s\n", RegisterPluginLibrary(plugin) ? "TRUE" : "FALSE");
        InitializePluginManager(TRUE, nullptr);
        IPluginManager* m = nullptr;
        Say("manager", GetPluginManager(&m));
        ComPtr<IExampleObject> greeter;
        Say("greeter", m->CreateObject(kExampleType, "Greeter", IID_IExampleObject, greeter.out_void()));
        char text[128] = "";
        if (greeter) greeter->Describe(text, sizeof text);
        std::printf("says %s\n", text);
        struct Sink final : IObjectSink {
            IUnknown* got = nullptr;
            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
            ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
            ULONG STDMETHODCALLTYPE Release() override { return 1; }
            HRESULT STDMETHODCALLTYPE OnObject(IUnknown* object) override {
                got = object;
                return S_OK;
            }
        } sink;
        Say("registry to a sink", m->CreateObjectByClsidToSink(&CLSID_PluginRegistry, IID_IPluginRegistry, &sink));
        std::printf("sink got the registry %s\n", sink.got ? "yes" : "no");
        Sink refused;
        Say("registry to a sink for another interface", m->CreateObjectByClsidToSink(&CLSID_PluginRegistry, IID_IPlugin, &refused));
        std::printf("sink called %s\n", refused.got ? "yes" : "no");
        greeter.reset();
        UninitializePluginManager();
        std::printf("unregister %s\n", UnregisterPluginLibrary(plugin) ? "TRUE" : "FALSE");
        InitializePluginManager(TRUE, nullptr);
        Say("manager again", GetPluginManager(&m));
        ComPtr<IExampleObject> gone;
        Say("greeter after unregistering", m->CreateObject(kExampleType, "Greeter", IID_IExampleObject, gone.out_void()));
        UninitializePluginManager();
    } else if (scenario == "many-missing-libraries") {
        for (int i = 0; i < 105; ++i) RegisterPluginLibrary("no-such-plugin-library.dll");
        std::printf("done\n");
    } else {
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
