// Plug-in benchmark:
//   IPluginManager::CreateObject on a loaded plug-in, calls per second, beside calling the
//   plug-in's own IPlugin::CreateObject directly (the reference); goal: at most 2 times the
//   reference's time per call;
//   the time to build the registry from a store of 1,000 plug-ins with 10 classes each.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "example_objects.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/dynamic_library.h"
#include "platform/process.h"
#include "qvcomm/plugin_manager.h"
#include "qvcomm/qvcomm.h"
#include "qvcommdb/db_manager.h"

using qv::platform::ComPtr;
using Clock = std::chrono::steady_clock;

namespace {

double PerSecond(const std::function<void()>& f) {
    for (int i = 0; i < 1000; ++i) f();
    long n = 0;
    const auto t0 = Clock::now();
    double elapsed = 0;
    while (elapsed < 1.0) {
        for (int k = 0; k < 1000; ++k) f();
        n += 1000;
        elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    return n / elapsed;
}

void SetVariable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

}  // namespace

int main() {
    const auto home = std::filesystem::temp_directory_path() / ("qvcomm-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(home / "Quorvex");
    SetVariable("QV_SYSTEM_DIR", home.string());
    SetVariable("QV_TRACE_FILE", (home / "trace.txt").string());
    const std::string plugin = qv::platform::ProgramDirectory() + "libqvexample.so";

    // Through the manager.
    if (!RegisterPluginLibrary(plugin.c_str())) {
        std::fprintf(stderr, "cannot register %s\n", plugin.c_str());
        return 1;
    }
    InitializePluginManager(FALSE, nullptr);
    IPluginManager* manager = nullptr;
    if (GetPluginManager(&manager) != S_OK) return 1;
    const double through_manager = PerSecond([&] {
        IExampleObject* o = nullptr;
        if (manager->CreateObject(kExampleType, "Greeter", IID_IExampleObject, reinterpret_cast<void**>(&o)) != S_OK)
            std::abort();
        o->Release();
    });

    // The plug-in's own operation, called directly.
    uint32_t error = 0;
    qv::platform::ScopedModule module(qv::platform::OpenLibrary(plugin, &error));
    auto get_plugin = reinterpret_cast<QVPLUGIN_GetPlugin>(qv::platform::FindProcedure(module.get(), "GetPlugin"));
    IPlugin* direct = nullptr;
    get_plugin(nullptr, &direct);
    const double direct_calls = PerSecond([&] {
        IExampleObject* o = nullptr;
        if (direct->CreateObject(kExampleType, "Greeter", IID_IExampleObject, reinterpret_cast<void**>(&o)) != S_OK)
            std::abort();
        o->Release();
    });
    direct->Release();
    UninitializePluginManager();

    // A store of 1,000 plug-ins with 10 classes each, and the registry built from it.
    const int kPlugins = 1000, kClasses = 10;
    {
        std::ofstream out(home / "Quorvex" / "QVCommDB.xml", std::ios::binary | std::ios::trunc);
        out << "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB>\n  <Plugins>\n";
        for (int p = 0; p < kPlugins; ++p) {
            char node[64];
            std::snprintf(node, sizeof node, "pl_%08X-0000-4000-8000-000000000000", p);
            out << "    <" << node << " PATH=\"/opt/plugins/plugin" << p << ".so\">\n      <CLASSES>\n";
            for (int c = 0; c < kClasses; ++c)
                out << "        <class" << c << " name=\"Class" << c << "\" type=\"bench.type" << p << "\"/>\n";
            out << "      </CLASSES>\n    </" << node << ">\n";
        }
        out << "  </Plugins>\n</QVCDB:QVCommDB>\n";
    }
    const auto size = std::filesystem::file_size(home / "Quorvex" / "QVCommDB.xml");
    double best = 1e9;
    size_t classes = 0;
    for (int run = 0; run < 5; ++run) {
        auto database = ComPtr<qv::db::DBManager>::Share(qv::db::DBManager::Create());
        database->SetAccessType(QVDB_Access_READ, nullptr);
        const auto t0 = Clock::now();
        ComPtr<IDBNode> root;
        database->CreateNode(qv::platform::Bstr::FromAnsi("Plugins").get(), root.out());
        std::unique_ptr<qv::comm::PluginRegistry> registry;
        if (qv::comm::PluginRegistry::Create(root.get(), &registry) != S_OK) return 1;
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
        classes = 0;
        for (const auto& [type, names] : registry->class_table()) classes += names.size();
    }

    const double ratio = direct_calls / through_manager;
    std::printf("IPluginManager::CreateObject  %12.0f calls/s\n", through_manager);
    std::printf("IPlugin::CreateObject direct  %12.0f calls/s   (reference)\n", direct_calls);
    std::printf("time per call through the manager: %.2f x the direct call   goal <= 2.00  %s\n", ratio,
                ratio <= 2.0 ? "ok" : "MISSED");
    std::printf("\nregistry built from a store of %d plug-ins x %d classes (%ju bytes): %.1f ms, %zu classes\n",
                kPlugins, kClasses, static_cast<uintmax_t>(size), best * 1e3, classes);
    std::filesystem::remove_all(home);
    return 0;
}
