// The road of one request through the two libraries, on a store in a fresh temporary location:
// the example plug-in is registered, a module asks for an object by type and name and uses it,
// then the trace lines of the libraries and the resulting store file are shown.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "example_objects.h"
#include "platform/com_ptr.h"
#include "platform/process.h"
#include "qvcomm/qvcomm.h"

using qv::platform::ComPtr;

namespace {

void SetVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv((std::string(name) + "=" + value).c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Use(IPluginManager* manager, const char* name) {
    ComPtr<IExampleObject> object;
    const HRESULT hr = manager->CreateObject(kExampleType, name, IID_IExampleObject, object.out_void());
    std::printf("CreateObject(\"%s\", \"%s\") = 0x%08X\n", kExampleType, name, static_cast<unsigned>(hr));
    if (hr != S_OK) return;
    object->Step();
    object->Step();
    char text[128];
    object->Describe(text, sizeof text);
    std::printf("  -> %s\n", text);
}

}  // namespace

int main() {
    std::random_device rd;
    const auto home = std::filesystem::temp_directory_path() / ("qvcomm-demo-" + std::to_string(rd()));
    std::filesystem::create_directories(home / "Quorvex");
    SetVariable("QV_SYSTEM_DIR", home.string());
    const auto trace = home / "trace.txt";
    SetVariable("QV_TRACE_FILE", trace.string());
#if defined(_WIN32)
    const std::string plugin = qv::platform::ProgramDirectory() + "qvexample.dll";
#else
    const std::string plugin = qv::platform::ProgramDirectory() + "libqvexample.so";
#endif
    std::printf("system directory: %s\n\n", home.string().c_str());

    // An installer registers the plug-in library once.
    std::printf("RegisterPluginLibrary(%s) = %s\n", plugin.c_str(), RegisterPluginLibrary(plugin.c_str()) ? "TRUE" : "FALSE");

    // A module of the maker asks for objects by type and name, and by class identifier.
    HRESULT hr = InitializePluginManager(FALSE, nullptr);
    std::printf("InitializePluginManager(reader) = 0x%08X\n", static_cast<unsigned>(hr));
    ComPtr<IPluginManager> manager;
    hr = GetPluginManager(manager.out());
    std::printf("GetPluginManager = 0x%08X\n", static_cast<unsigned>(hr));
    if (hr == S_OK) {
        Use(manager.get(), "Greeter");
        Use(manager.get(), "Counter");
        ComPtr<IExampleObject> clock;
        hr = manager->CreateObjectByClsid(&CLSID_ExampleClock, IID_IExampleObject, clock.out_void());
        std::printf("CreateObjectByClsid(clock) = 0x%08X\n", static_cast<unsigned>(hr));
        if (hr == S_OK) {
            char text[128];
            clock->Describe(text, sizeof text);
            std::printf("  -> %s\n", text);
        }
        ComPtr<IExampleObject> missing;
        hr = manager->CreateObject(kExampleType, "Nobody", IID_IExampleObject, missing.out_void());
        std::printf("CreateObject(\"%s\", \"Nobody\") = 0x%08X (not registered)\n", kExampleType, static_cast<unsigned>(hr));
    }
    manager.release();  // the manager is the library's; its Release never destroys it
    UninitializePluginManager();

    std::printf("\n--- trace lines ---\n%s", ReadAll(trace).c_str());
    std::printf("\n--- store file %s ---\n%s", (home / "Quorvex" / "QVCommDB.xml").string().c_str(),
                ReadAll(home / "Quorvex" / "QVCommDB.xml").c_str());
    return 0;
}
