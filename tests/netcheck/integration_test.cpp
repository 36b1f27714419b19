// netcheck against the real servers of this machine: the Firebird server started by
// tools/ci/firebird.sh (QV_FIREBIRD=1 says it runs), the system's ping, /proc and /etc/services.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "netcheck/local_system.h"
#include "netcheck/probe.h"
#include "platform/byte_stream.h"

namespace qv::test {
namespace {

using namespace net;

bool FirebirdRuns() {
    const char* flag = std::getenv("QV_FIREBIRD");
    return flag && std::string(flag) == "1";
}

struct Recorder final : CheckUi {
    std::vector<std::string> lines;
    void ClearReport() override { lines.clear(); }
    void Report(const std::string& line) override { lines.push_back(line); }
    void ShowMessage(const std::string& text, const std::string&) override { lines.push_back("message " + text); }
};

TEST(Probe, ABareDrivePathMeansTheServerOnThisComputer) {
    EXPECT_EQ(ClientDatabaseName("c:\\ders\\dershane.gdb"), "127.0.0.1:c:\\ders\\dershane.gdb");
    EXPECT_EQ(ClientDatabaseName("HOST:c:\\ders\\smart.gdb"), "HOST:c:\\ders\\smart.gdb");
    EXPECT_EQ(ClientDatabaseName("/var/x.fdb"), "/var/x.fdb");
}

TEST(Probe, AServerThatNeverAnswersEndsAtTheDeadline) {
    auto silent = platform::StreamListener::ListenLoopback(0);  // accepts nothing, answers nothing
    ASSERT_NE(silent, nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const ProbeResult r = ProbeInChildProcess("127.0.0.1/" + std::to_string(silent->port()) + ":c:\\ders\\x.gdb",
                                              std::chrono::milliseconds(800));
    EXPECT_EQ(r, ProbeResult::kFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
}

TEST(Probe, TheTwoDatabasesOpenAndAMissingOneDoesNot) {
    if (!FirebirdRuns()) GTEST_SKIP() << "no Firebird server started for the tests";
    EXPECT_EQ(ProbeInChildProcess("c:\\ders\\dershane.gdb"), ProbeResult::kConnected);
    EXPECT_EQ(ProbeInChildProcess("127.0.0.1:c:\\ders\\smart.gdb"), ProbeResult::kConnected);
    EXPECT_EQ(ProbeInChildProcess("127.0.0.1:c:\\ders\\nothere.gdb"), ProbeResult::kFailed);
}

TEST(Check, ACheckOfTheLoopbackPassesEveryStep) {
    if (!FirebirdRuns()) GTEST_SKIP() << "no Firebird server started for the tests";
    LocalSystem system([](const std::string& name) { return ProbeInChildProcess(name); });
    Recorder ui;
    RunCheck(system, ui, "127.0.0.1");
    ASSERT_EQ(ui.lines.size(), 4u) << (ui.lines.empty() ? "" : ui.lines[0]);
    EXPECT_EQ(ui.lines[0], "TCP/IP ba\xC4\x9Flant\xC4\xB1s\xC4\xB1 127.0.0.1 bilgisayar\xC4\xB1 ile [127.0.0.1] IP adresinden sa\xC4\x9Fland\xC4\xB1");
    EXPECT_EQ(ui.lines[1], "Veritaban\xC4\xB1 portu a\xC3\xA7\xC4\xB1k");
    EXPECT_EQ(ui.lines[2], "Dershane.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Fland\xC4\xB1");
    EXPECT_EQ(ui.lines[3], "Smart.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Fland\xC4\xB1");
}

}  // namespace
}  // namespace qv::test

#include "netcheck/smb_network.h"

namespace qv::test {
namespace {

bool SmbdRuns() { return std::getenv("QV_SMB_BROWSE") != nullptr; }

// The listing's messages, kept.
struct MessageList final : net::ListingUi {
    std::vector<std::string> messages;
    void ShowBusy(bool) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

// An smbd on 127.0.0.1 with a disk and a printer share, the browse list of its workgroup and a
// name service stand-in (tools/ci/smbd.sh, nbns_responder; QV_SMB_BROWSE=1 says they run): the
// listing of that server gives both shares, named \\SERVER\share.
TEST(SmbNetwork, AServersDiskAndPrinterSharesAreListed) {
    if (!SmbdRuns()) GTEST_SKIP() << "no smbd started for the tests";
    net::SmbNetwork network(3000);
    net::NetListing listing;
    MessageList ui;
    const net::NetResource server{0, 2, 2, std::nullopt, std::string("\\\\127.0.0.1")};
    listing.Add(server);
    EXPECT_TRUE(listing.Enumerate(network, ui, &server));
    ASSERT_EQ(listing.tree().size(), 1u);
    std::vector<std::string> shares;
    for (const auto& child : listing.tree()[0].children) shares.push_back(child.text);
    EXPECT_EQ(shares, (std::vector<std::string>{"\\\\127.0.0.1\\ders"}));
    bool printer = false;
    for (const auto& line : listing.record_lines())
        printer |= line.rfind("Printer : share  : ", 0) == 0 && line.find("\\\\127.0.0.1\\laser") != std::string::npos;
    EXPECT_TRUE(printer) << "the printer share gives a record line only";
}

// The walk from the network's root: the workgroup, its server, the server's shares.
TEST(SmbNetwork, TheWalkFromTheRootFindsTheWorkgroupItsServerAndItsShares) {
    if (!SmbdRuns()) GTEST_SKIP() << "no smbd and name service started for the tests";
    net::SmbNetwork network(3000);
    net::NetListing listing;
    MessageList ui;
    listing.Refresh(network, ui);
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(listing.tree().size(), 1u);
    EXPECT_EQ(listing.tree()[0].text, "\\\\LOOPSRV");
    ASSERT_EQ(listing.tree()[0].children.size(), 1u);
    EXPECT_EQ(listing.tree()[0].children[0].text, "\\\\LOOPSRV\\ders");
    const std::vector<std::string> expected = {
        "Domain   : A\xC4\x9F" "daki Ad\xC4\xB1 = TESTGROUP",
        "Server   : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\LOOPSRV",
        "Disk    : share  : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\LOOPSRV\\ders",
        "Printer : share  : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\LOOPSRV\\laser",
    };
    EXPECT_EQ(listing.record_lines(), expected);
}

}  // namespace
}  // namespace qv::test
