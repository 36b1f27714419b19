#include <gtest/gtest.h>

#include "plugin_paths.h"
#include "qvcomm/loaded_library.h"
#include "qvcomm/plugin_registry.h"
#include "support/test_env.h"

namespace qv::test {
namespace {

TEST(LoadedLibrary, MissingEntryPointNamesTheFirstAndFreesTheLibrary) {
    CaptureFile trace("QV_TRACE_FILE");
    const std::string path = TestPlugin("no_terminate");
    {
        comm::LoadedLibrary library(path, {"Initialize", "Terminate", "GetPluginId", "GetPlugin"});
        EXPECT_FALSE(library.ok());
        EXPECT_EQ(library.error(), 127u);
        EXPECT_EQ(library.module(), nullptr);
    }
    const std::string text = trace.Read();
    const size_t loaded = text.find("[LOADED_LIBRARY] LoadLibrary() succeeded: " + path + " (0x");
    const size_t missing = text.find("[LOADED_LIBRARY] GetProcAddress() failed for: Terminate in " + path + " (127)\n");
    const size_t freed = text.find("[LOADED_LIBRARY] FreeLibrary(): " + path + " (0x");
    EXPECT_NE(loaded, std::string::npos) << text;
    EXPECT_NE(missing, std::string::npos) << text;
    EXPECT_NE(freed, std::string::npos) << text;
    EXPECT_LT(loaded, missing);
    EXPECT_LT(missing, freed);
}

TEST(PluginNodeName, IsPlAndTheIdentifierWithoutBraces) {
    EXPECT_EQ(comm::PluginNodeName(CLSID_PluginRegistry), "pl_6B2943F1-4434-4A7C-9D0B-C37C4DE60C0F");
    EXPECT_EQ(comm::PluginNodeName(GUID{}).size(), 39u);
}

}  // namespace
}  // namespace qv::test
