// The Linux backends of the check: real measurements put in the shape the check reads.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "netcheck/local_system.h"
#include <cctype>

#include "support/test_env.h"

namespace qv::test {
namespace {

using namespace net;

const std::vector<std::string> kAnsweredPing = {
    "PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data.",
    "64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.040 ms",
    "64 bytes from 127.0.0.1: icmp_seq=2 ttl=64 time=0.060 ms",
    "64 bytes from 127.0.0.1: icmp_seq=3 ttl=64 time=0.050 ms",
    "64 bytes from 127.0.0.1: icmp_seq=4 ttl=64 time=0.050 ms",
    "",
    "--- 127.0.0.1 ping statistics ---",
    "4 packets transmitted, 4 received, 0% packet loss, time 3060ms",
    "rtt min/avg/max/mdev = 0.040/0.050/0.060/0.007 ms",
};

TEST(LocalPing, AnAnsweredPingGivesMoreThanTenLinesWithTheAddressOnTheThird) {
    const PingMeasurement m = ParseLinuxPing(kAnsweredPing);
    EXPECT_TRUE(m.resolved);
    EXPECT_EQ(m.address, "127.0.0.1");
    EXPECT_EQ(m.sent, 4);
    EXPECT_EQ(m.received, 4);
    EXPECT_EQ(m.times_ms.size(), 4u);
    const auto report = PingReport("SERVER", m);
    EXPECT_GT(report.size(), 10u);
    EXPECT_EQ(AddressIn(report[2]), "127.0.0.1");
}

TEST(LocalPing, NoAnswerGivesTenLinesAndAnUnknownHostOne) {
    const PingMeasurement silent = ParseLinuxPing({"PING 10.9.9.9 (10.9.9.9) 56(84) bytes of data.", "",
                                                  "--- 10.9.9.9 ping statistics ---",
                                                  "4 packets transmitted, 0 received, 100% packet loss, time 3072ms"});
    EXPECT_EQ(PingReport("X", silent).size(), 10u);
    EXPECT_EQ(PingReport("nohost", ParseLinuxPing({"ping: nohost: Name or service not known"})).size(), 1u);
}

TEST(LocalPing, AHostThatLooksLikeAnOptionIsNoHost) {
    LocalSystem system([](const std::string&) { return ProbeResult::kFailed; });
    EXPECT_EQ(system.PingOutput("-f").size(), 1u);
}

TEST(LocalPing, ARealPingOfTheLoopbackAnswers) {
    LocalSystem system([](const std::string&) { return ProbeResult::kFailed; });
    const auto report = system.PingOutput("127.0.0.1");
    if (report.size() == 1 && report[0].find("could not find") != std::string::npos)
        GTEST_SKIP() << "ping is not installed here";
    EXPECT_GT(report.size(), 10u) << report[0];
    EXPECT_EQ(AddressIn(report[2]), "127.0.0.1");
}

TEST(LocalNetstat, ListeningPortsAreNamedByEveryServiceName) {
    const std::string table =
        "  sl  local_address rem_address   st tx_queue rx_queue\n"
        "   0: 00000000:0BEA 00000000:0000 0A 00000000:00000000\n"
        "   1: 0100007F:9C40 0100007F:0BEA 01 00000000:00000000\n"
        "   2: 0100007F:0016 00000000:0000 0A 00000000:00000000\n";
    EXPECT_EQ(ListeningPorts(table), (std::vector<int>{3050, 22}));
    const auto lines = NetstatReport({3050, 40000});
    bool marker = false;
    for (const auto& l : lines) {
        std::string upper = l;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        marker |= upper.find("GDS_DB") != std::string::npos;
    }
    EXPECT_TRUE(marker) << "the stock services file names 3050 gds-db, alias gds_db";
    EXPECT_NE(lines.back().find("0.0.0.0:40000"), std::string::npos);
}

TEST(LocalFiles, LinesSplitOnEveryBreakAndThePatchKeepsTheFileAndItsMode) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitLines("").empty());
    TempDir dir;
    const std::string services = dir.file("services");
    WriteFile(services, "echo 7/tcp\nftp 21/tcp\n");
    ::chmod(services.c_str(), 0640);
    LocalSystem system([](const std::string&) { return ProbeResult::kFailed; });
    auto lines = system.ReadLines(services);
    lines.push_back(kServicesLine);
    system.WriteLines(services, lines);
    EXPECT_EQ(ReadFile(services), "echo 7/tcp\nftp 21/tcp\ngds_db           3050/tcp                  \n");
    struct stat st {};
    ::stat(services.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_THROW(system.ReadLines(dir.file("missing")), CheckError);
    EXPECT_THROW(system.WriteLines(dir.file("no/such/dir/services"), lines), CheckError);
}

}  // namespace
}  // namespace qv::test
