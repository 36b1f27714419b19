#include <gtest/gtest.h>

#include <filesystem>

#include "common/startup_services.h"
#include "platform/debug_output.h"
#include "support/test_env.h"

namespace {

TEST(ReportProblem, WritesEventCodeAndEachMessage) {
    qv::test::CaptureFile reports("QV_REPORT_FILE");
    const char* messages[] = {"Timeout on QVCommDB mutex"};
    qv::startup::ReportProblem(1, qv::startup::kProblemEventCode, 1, messages, 0);
    EXPECT_EQ(reports.Read(), "0xC0001391 Timeout on QVCommDB mutex\n");
}

TEST(DebugText, IsWrittenBareWithoutLineEnd) {
    qv::test::CaptureFile debug("QV_DEBUG_FILE");
    qv::platform::WriteDebugText("enum children failed");
    qv::platform::WriteDebugText("get type failed");
    EXPECT_EQ(debug.Read(), "enum children failedget type failed");
}

TEST(CreateDirectoryPath, MakesMissingParentsAndAcceptsExisting) {
    qv::test::TempDir dir;
    const auto nested = dir.path() / "a" / "b" / "c";
    EXPECT_EQ(qv::startup::CreateDirectoryPath(nested.string().c_str()), 1);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_EQ(qv::startup::CreateDirectoryPath(nested.string().c_str()), 1);
    // A file stands where a directory would go.
    qv::test::WriteFile(dir.path() / "file", "x");
    EXPECT_EQ(qv::startup::CreateDirectoryPath((dir.path() / "file" / "d").string().c_str()), 0);
    EXPECT_EQ(qv::startup::CreateDirectoryPath(""), 0);
}

TEST(ResolveProcedure, FindsExportsAndAnswersNullForMissingOnes) {
    uint32_t error = 0;
#if defined(_WIN32)
    qv::platform::ScopedModule module(qv::platform::OpenLibrary("kernel32.dll", &error));
    const char* present = "GetProcAddress";
#else
    qv::platform::ScopedModule module(qv::platform::OpenLibrary("libc.so.6", &error));
    const char* present = "malloc";
#endif
    ASSERT_TRUE(module);
    EXPECT_NE(qv::startup::ResolveProcedure(module.get(), present), nullptr);
    EXPECT_EQ(qv::startup::ResolveProcedure(module.get(), "NoSuchRoutineAnywhere"), nullptr);
}

TEST(OpenLibrary, MissingFileReportsError126) {
    uint32_t error = 0;
    EXPECT_EQ(qv::platform::OpenLibrary("no-such-library-here.dll", &error), nullptr);
    EXPECT_EQ(error, qv::platform::kErrorModNotFound);
}

TEST(SharedObjects, GlobalNamespaceAndSecurityAreAvailable) {
    EXPECT_NE(qv::startup::HasGlobalNamespace(), 0);
    EXPECT_NE(qv::startup::GetSharedObjectSecurity(), nullptr);
}

}  // namespace
