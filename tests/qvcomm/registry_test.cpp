// The plug-in registry on a store of its own, with real plug-in libraries.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "plugin_paths.h"
#include "qvcomm/plugin_registry.h"
#include "qvcommdb/db_manager.h"
#include "support/test_env.h"

namespace qv::test {
namespace {

using comm::PluginRegistry;
using platform::Bstr;
using platform::ComPtr;

constexpr GUID PluginId(int mode) {
    return {0x00C0FFEE, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(mode)}};
}
const std::string kGoodNode = "pl_00C0FFEE-0000-4000-8000-000000000000";

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() : log_("QV_PLUGIN_LOG"), trace_("QV_TRACE_FILE"), debug_("QV_DEBUG_FILE") {
        std::random_device rd;
        store_ = dir_.file("Reg" + std::to_string(rd()) + ".xml");
    }

    ComPtr<db::DBManager> Database(ULONG access = QVDB_Access_WRITE) {
        auto m = ComPtr<db::DBManager>::Share(db::DBManager::Create());
        m->Init(Bstr::FromAnsi(store_).get());
        m->SetAccessType(access, nullptr);
        return m;
    }
    // A registry built from the store, as the plug-in manager builds it.
    std::unique_ptr<PluginRegistry> Registry(db::DBManager* database) {
        ComPtr<IDBNode> root;
        EXPECT_EQ(database->CreateNode(Bstr::FromAnsi("Plugins").get(), root.out()), S_OK);
        EXPECT_EQ(root->Open(database->access_type()), S_OK);
        root->Close();
        std::unique_ptr<PluginRegistry> registry;
        EXPECT_EQ(PluginRegistry::Create(root.get(), &registry), S_OK);
        return registry;
    }
    std::string StoreText() const { return ReadFile(store_); }

    TempDir dir_;
    std::string store_;
    CaptureFile log_, trace_, debug_;
};

TEST_F(RegistryTest, AWellBehavedPluginIsRegisteredCachedAndTerminatedAtTheEnd) {
    auto database = Database();
    auto registry = Registry(database.get());
    const std::string path = TestPlugin("good");
    ASSERT_EQ(registry->RegisterPlugin(path.c_str()), S_OK);
    EXPECT_EQ(log_.Read(), "0 Initialize\n0 GetPluginId\n0 GetPlugin\n0 Register\n");
    EXPECT_EQ(registry->cached_plugins(), 1u);
    EXPECT_EQ(registry->path_table().at(kGoodNode), path);
    const std::string text = StoreText();
    EXPECT_NE(text.find("    <" + kGoodNode + " PATH=\"" + path + "\">\n      <CLASSES>\n"
                        "        <class0 name=\"Thing\" type=\"test.type\"/>\n"
                        "        <class1 name=\"Other\" type=\"test.type\"/>\n"),
              std::string::npos)
        << text;
    ComPtr<IUnknown> thing;
    EXPECT_EQ(registry->CreateObject("test.type", "Thing", IID_IUnknown, thing.out_void()), S_OK);
    EXPECT_NE(thing.get(), nullptr);
    EXPECT_NE(trace_.Read().find("[LOADED_LIBRARY] LoadLibrary() succeeded: " + path + " (0x"), std::string::npos);
    thing.reset();  // the plug-in's objects are the caller's to let go before the plug-in goes
    log_.Clear();
    registry.reset();
    EXPECT_EQ(log_.Read(), "0 Release\n0 Terminate\n");
    EXPECT_NE(trace_.Read().find("[LOADED_LIBRARY] FreeLibrary(): " + path + " (0x"), std::string::npos);
}

TEST_F(RegistryTest, EachWayOfFailingToLoadGivesItsCodeAndCachesNothing) {
    struct Case {
        const char* kind;
        HRESULT result;
        const char* log;
        const char* trace;
    } cases[] = {
        {"no_terminate", 127, "", "[LOADED_LIBRARY] GetProcAddress() failed for: Terminate in %s (127)\n"},
        {"init_fails", static_cast<HRESULT>(0x80041001u), "2 Initialize\n", nullptr},
        {"id_fails", static_cast<HRESULT>(0x80041002u), "3 Initialize\n3 GetPluginId\n3 Terminate\n", nullptr},
        {"getplugin_fails", static_cast<HRESULT>(0x80041003u), "4 Initialize\n4 GetPluginId\n4 GetPlugin\n4 Terminate\n",
         nullptr},
        {"missing_file", 126, "", "[LOADED_LIBRARY] LoadLibrary() failed: %s (126)\n"},
    };
    auto database = Database();
    auto registry = Registry(database.get());
    for (const auto& c : cases) {
        log_.Clear();
        trace_.Clear();
        const std::string path = TestPlugin(c.kind);
        EXPECT_EQ(registry->RegisterPlugin(path.c_str()), c.result) << c.kind;
        EXPECT_EQ(log_.Read(), c.log) << c.kind;
        if (c.trace) {
            char expected[1024];
            std::snprintf(expected, sizeof expected, c.trace, path.c_str());
            EXPECT_NE(trace_.Read().find(expected), std::string::npos) << c.kind << ": " << trace_.Read();
        }
        if (std::string(c.kind) != "missing_file") {
            EXPECT_NE(trace_.Read().find("[LOADED_LIBRARY] FreeLibrary(): " + path), std::string::npos) << c.kind;
        }
        EXPECT_EQ(registry->cached_plugins(), 0u) << c.kind;
        EXPECT_TRUE(registry->path_table().empty()) << c.kind;
    }
}

TEST_F(RegistryTest, ExceptionsFromPluginCodeBecomeFailureCodes) {
#if defined(_WIN32)
    // Each module carries its own static run time there, and an exception cannot unwind from
    // one into another: a plug-in must catch its own.
    GTEST_SKIP() << "exceptions do not cross modules with static run times";
#endif
    auto database = Database();
    auto registry = Registry(database.get());
    ASSERT_EQ(registry->RegisterPlugin(TestPlugin("throws").c_str()), S_OK);
    ComPtr<IUnknown> thing;
    EXPECT_EQ(registry->CreateObject("test.type", "Thing", IID_IUnknown, thing.out_void()), E_FAIL);
}

TEST_F(RegistryTest, RegisteringTwiceKeepsTheCachedPluginAndWritesOnce) {
    auto database = Database();
    auto registry = Registry(database.get());
    const std::string path = TestPlugin("good");
    ASSERT_EQ(registry->RegisterPlugin(path.c_str()), S_OK);
    log_.Clear();
    ASSERT_EQ(registry->RegisterPlugin(path.c_str()), S_OK);
    EXPECT_EQ(log_.Read(), "0 Initialize\n0 GetPluginId\n0 GetPlugin\n0 Release\n0 Terminate\n0 Register\n");
    EXPECT_EQ(registry->cached_plugins(), 1u);
    const std::string text = StoreText();
    EXPECT_EQ(text.find("class2"), std::string::npos) << "the classes were stored once";
}

TEST_F(RegistryTest, TheRegistryAnswersForItselfWhenNoPluginProvidesItsClass) {
    auto database = Database();
    auto registry = Registry(database.get());
    void* p = nullptr;
    ASSERT_EQ(registry->CreateObjectByClsid(&CLSID_PluginRegistry, IID_IPluginRegistry, &p), S_OK);
    EXPECT_EQ(p, static_cast<IPluginRegistry*>(registry.get()));
    registry->Release();
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(registry->CreateObjectByClsid(&CLSID_PluginRegistry, IID_IPlugin, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    const GUID other = PluginId(9);
    EXPECT_EQ(registry->CreateObjectByClsid(&other, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(registry->CreateObject("no.type", "x", IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
}

TEST_F(RegistryTest, UnregisteringRemovesTheClassesAndTheNodeButKeepsThePluginLoaded) {
    auto database = Database();
    auto registry = Registry(database.get());
    const GUID unknown = PluginId(7);
    EXPECT_EQ(registry->UnregisterPlugin(&unknown), E_FAIL);
    ASSERT_EQ(registry->RegisterPlugin(TestPlugin("good").c_str()), S_OK);
    log_.Clear();
    const GUID good = PluginId(0);
    ASSERT_EQ(registry->UnregisterPlugin(&good), S_OK);
    EXPECT_EQ(log_.Read(), "0 Unregister\n");
    ComPtr<IUnknown> thing;
    EXPECT_EQ(registry->CreateObject("test.type", "Thing", IID_IUnknown, thing.out_void()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(registry->cached_plugins(), 1u);
    EXPECT_EQ(StoreText().find(kGoodNode), std::string::npos) << StoreText();
}

struct Names final : IClassEnumCallback {
    std::vector<std::string> seen;
    HRESULT stop_after_with = S_OK;
    size_t stop_after = 1000;
    HRESULT STDMETHODCALLTYPE OnClass(const char* name) override {
        seen.push_back(name);
        return seen.size() >= stop_after ? stop_after_with : S_OK;
    }
};

TEST_F(RegistryTest, ClassesAreEnumeratedInByteOrderUntilTheCallbackSaysStop) {
    auto database = Database();
    auto registry = Registry(database.get());
    const GUID id = PluginId(0);
    for (const char* name : {"b", "A", "a"}) ASSERT_EQ(registry->RegisterPluginClass("t", name, &id), S_OK);
    Names all;
    EXPECT_EQ(registry->EnumClasses("t", &all), S_OK);
    EXPECT_EQ(all.seen, (std::vector<std::string>{"A", "a", "b"}));
    Names stopping;
    stopping.stop_after = 2;
    stopping.stop_after_with = S_FALSE;
    EXPECT_EQ(registry->EnumClasses("t", &stopping), S_FALSE);
    EXPECT_EQ(stopping.seen.size(), 2u);
    Names none;
    EXPECT_EQ(registry->EnumClasses("unknown", &none), S_OK);
    EXPECT_TRUE(none.seen.empty());
    EXPECT_EQ(registry->EnumClasses("t", nullptr), E_INVALIDARG);
}

TEST_F(RegistryTest, NewClassNodesNumberOnFromTheHighestAndRefuseForeignNames) {
    auto database = Database();
    auto registry = Registry(database.get());
    const GUID id = PluginId(0);
    ASSERT_EQ(registry->RegisterPluginClass("t", "first", &id), S_OK);
    ASSERT_EQ(registry->RegisterPluginClass("t", "first", &id), S_OK);  // already stored: no second node
    {
        // A hole in the numbering: class0 and class5.
        ComPtr<IDBNode> five;
        database->CreateNode(Bstr::FromAnsi("Plugins/" + kGoodNode + "/CLASSES/class5").get(), five.out());
        ASSERT_EQ(five->Open(QVDB_Access_WRITE), S_OK);
        five->SetString(Bstr::FromAnsi("type").get(), Bstr::FromAnsi("t").get());
        five->SetString(Bstr::FromAnsi("name").get(), Bstr::FromAnsi("fifth").get());
        five->Close();
    }
    ASSERT_EQ(registry->RegisterPluginClass("t", "next", &id), S_OK);
    EXPECT_NE(StoreText().find("<class6 name=\"next\" type=\"t\"/>"), std::string::npos) << StoreText();
    EXPECT_EQ(StoreText().find("class1"), std::string::npos);
    {
        ComPtr<IDBNode> foreign;
        database->CreateNode(Bstr::FromAnsi("Plugins/" + kGoodNode + "/CLASSES/classX").get(), foreign.out());
        ASSERT_EQ(foreign->Open(QVDB_Access_WRITE), S_OK);
        foreign->SetString(Bstr::FromAnsi("type").get(), Bstr::FromAnsi("u").get());
        foreign->Close();
    }
    debug_.Clear();
    EXPECT_EQ(registry->RegisterPluginClass("t", "after", &id), E_FAIL);
    EXPECT_EQ(debug_.Read(), "invalid class node name format");
    EXPECT_EQ(registry->class_table().at("t").at("after"), kGoodNode) << "the mapping stays in memory";
    // The failed registration left no access open: another manager gets the store at once.
    std::thread([&] {
        auto other = Database(QVDB_Access_READ);
        ComPtr<IDBNode> plugins;
        other->CreateNode(Bstr::FromAnsi("Plugins").get(), plugins.out());
        EXPECT_EQ(plugins->Open(QVDB_Access_READ), S_OK);
        plugins->Close();
    }).join();
}

TEST_F(RegistryTest, ARegistryBuiltAgainFromTheStoreFindsTheSameClasses) {
    const std::string path = TestPlugin("good");
    std::map<std::string, std::map<std::string, std::string>> classes;
    {
        auto database = Database();
        auto registry = Registry(database.get());
        ASSERT_EQ(registry->RegisterPlugin(path.c_str()), S_OK);
        classes = registry->class_table();
    }
    auto database = Database(QVDB_Access_READ);
    auto rebuilt = Registry(database.get());
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_EQ(rebuilt->class_table(), classes);
    EXPECT_EQ(rebuilt->path_table().at(kGoodNode), path);
    EXPECT_EQ(rebuilt->cached_plugins(), 0u);
}

// Eight threads need the same plug-in at once: each may load it, the first to reach the cache
// wins, and the others' instances are terminated at once.
TEST_F(RegistryTest, EightThreadsCreatingAtOnceShareOneCachedPlugin) {
    {
        auto database = Database();
        auto registry = Registry(database.get());
        ASSERT_EQ(registry->RegisterPlugin(TestPlugin("good").c_str()), S_OK);
    }
    auto database = Database(QVDB_Access_READ);
    auto registry = Registry(database.get());
    log_.Clear();
    std::vector<std::thread> threads;
    std::vector<HRESULT> results(8, E_FAIL);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                ComPtr<IUnknown> thing;
                results[t] = registry->CreateObject("test.type", i % 2 ? "Thing" : "Other", IID_IUnknown,
                                                    thing.out_void());
                if (results[t] != S_OK) return;
            }
        });
    for (auto& t : threads) t.join();
    for (HRESULT hr : results) EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(registry->cached_plugins(), 1u);
    const std::string log = log_.Read();
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_GE(count("Initialize"), 1u);
    EXPECT_EQ(count("Terminate"), count("Initialize") - 1) << log;
    registry.reset();
}

}  // namespace
}  // namespace qv::test
