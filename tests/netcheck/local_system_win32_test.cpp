// The Windows backend of the check: the real registry and process list (under Wine in CI).
#include <gtest/gtest.h>

#include "netcheck/local_system.h"
#include "support/test_env.h"

namespace qv::test {
namespace {

using namespace net;

LocalSystem System() {
    return LocalSystem([](const std::string&) { return ProbeResult::kFailed; });
}

TEST(WindowsSystem, KeysOpenForReadingAndMissingOnesDoNot) {
    auto system = System();
    EXPECT_TRUE(system.OpenServerKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"));
    EXPECT_FALSE(system.OpenServerKey(kFirebirdKey));
}

TEST(WindowsSystem, TheProcessListHoldsThisProgram) {
    auto system = System();
    bool self = false;
    for (const auto& exe : system.Processes().executables) self |= exe.find("netcheck_tests") != std::string::npos;
    EXPECT_TRUE(self);
    EXPECT_FALSE(system.ComputerName().empty());
    EXPECT_LE(system.ComputerName().size(), 15u);
}

TEST(WindowsSystem, TheServicesPatchWritesCrLfBesideAndReplaces) {
    TempDir dir;
    const std::string services = dir.file("services");
    WriteFile(services, "echo 7/tcp\r\n");
    auto system = System();
    auto lines = system.ReadLines(services);
    lines.push_back(kServicesLine);
    system.WriteLines(services, lines);
    EXPECT_EQ(ReadFile(services), "echo 7/tcp\r\ngds_db           3050/tcp                  \r\n");
    EXPECT_EQ(system.ServicesCandidates().size(), 3u);
}

}  // namespace
}  // namespace qv::test
