// The library-wide state behind the entry points, each scenario in a fresh process.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process.h"
#include "plugin_paths.h"
#include "support/test_env.h"

namespace qv::test {
namespace {

class EntryPointsTest : public ::testing::Test {
protected:
    EntryPointsTest() : trace_("QV_TRACE_FILE") {
        std::filesystem::create_directories(system_.path() / "Quorvex");
        SetEnv("QV_SYSTEM_DIR", system_.path().string());
    }
    ~EntryPointsTest() override { UnsetEnv("QV_SYSTEM_DIR"); }

    std::string Run(const std::string& scenario, const std::string& plugin = "") {
#if defined(_WIN32)
        const std::string helper = platform::ProgramDirectory() + "qvcomm_helper.exe";
#else
        const std::string helper = platform::ProgramDirectory() + "qvcomm_helper";
#endif
        std::vector<std::string> args{scenario};
        if (!plugin.empty()) args.push_back(plugin);
        auto child = platform::ChildProcess::Start(helper, args);
        EXPECT_NE(child, nullptr);
        if (!child) return {};
        std::string out;
        while (auto line = child->ReadLine(60000)) out += *line + "\n";
        EXPECT_EQ(child->Wait(60000).value_or(-1), 0) << scenario;
        return out;
    }
    void WriteStore(const std::string& text) { WriteFile(system_.path() / "Quorvex" / "QVCommDB.xml", text); }
    size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    TempDir system_;
    CaptureFile trace_;
};

TEST_F(EntryPointsTest, AWriterCannotJoinOnceTheLibraryRunsAsAReader) {
    EXPECT_EQ(Run("reader-then-writer"),
              "reader 0x00000000\n"
              "writer 0x80004005\n"
              "writer after the reader left 0x80004005\n"
              "reader again 0x00000000\n"
              "manager with no user 0x80004005\n");
}

TEST_F(EntryPointsTest, TheFirstWritersProtectionRoutineStaysInForce) {
    EXPECT_EQ(Run("two-writers"),
              "first writer 0x00000000\n"
              "second writer 0x00000000\n"
              "manager 0x00000000\n"
              "first routine called yes, second routine called 0 times\n");
}

TEST_F(EntryPointsTest, TheManagerIsHandedOutTwiceAndItsReleaseNeverDestroysIt) {
    EXPECT_EQ(Run("manager-twice"),
              "first 0x00000000\n"
              "second 0x00000000\n"
              "same object yes\n"
              "release count after five releases 0\n"
              "still usable 0x00000000\n");
}

TEST_F(EntryPointsTest, TheThirdBindingLoadsTheDatabaseForGood) {
    EXPECT_EQ(Run("three-cycles"), "cycle 0x00000000\ncycle 0x00000000\ncycle 0x00000000\ndatabase still loaded yes\n");
    const std::string trace = trace_.Read();
    EXPECT_EQ(Count(trace, "[QVCOMM] QVCOMMDBLibrary loading qvcommdb.dll an extra time\n"), 1u) << trace;
    EXPECT_EQ(Count(trace, "[LOADED_LIBRARY] LoadLibrary() succeeded: QVCommDB.dll"), 3u) << trace;
}

TEST_F(EntryPointsTest, AReadersManagerNeedsThePluginsNodeAndAWriterMakesIt) {
    WriteStore("<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB/>\n");
    // The read open of a node the store lacks is refused, and no manager is left behind.
    EXPECT_EQ(Run("reader-then-writer-on-empty-store"),
              "reader's manager 0x80070057\nreader's manager again 0x80070057\n");
    EXPECT_EQ(Run("writer-on-empty-store"), "writer's manager 0x00000000\nclasses 0x00000000\nclass count 0\n");
    EXPECT_NE(ReadFile(system_.path() / "Quorvex" / "QVCommDB.xml").find("<Plugins/>"), std::string::npos);
}

TEST_F(EntryPointsTest, ThePluginLibraryIsRegisteredUsedAndUnregistered) {
    EXPECT_EQ(Run("register-use-unregister", PluginPath("qvexample")),
              "register TRUE\n"
              "manager 0x00000000\n"
              "greeter 0x00000000\n"
              "says Hello from the example plug-in\n"
              "registry to a sink 0x00000000\n"
              "sink got the registry yes\n"
              "registry to a sink for another interface 0x80004002\n"
              "sink called no\n"
              "unregister TRUE\n"
              "manager again 0x00000000\n"
              "greeter after unregistering 0x80040154\n");
}

TEST_F(EntryPointsTest, TheHundredthFailureMessageIsTheLast) {
    EXPECT_EQ(Run("many-missing-libraries"), "done\n");
    const std::string trace = trace_.Read();
    EXPECT_EQ(Count(trace, "[LOADED_LIBRARY] LoadLibrary() failed: no-such-plugin-library.dll (126)\n"), 100u);
    EXPECT_EQ(Count(trace, "Suppressing: [LOADED_LIBRARY] LoadLibrary() failed: no-such-plugin-library.dll (126)\n"), 1u);
}

}  // namespace
}  // namespace qv::test
