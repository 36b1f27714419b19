// The check as a table of scenarios over a scripted system: every report line, message and
// error text, in order, with the chain stopping where it must.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "netcheck/check.h"

namespace qv::test {
namespace {

using net::CheckError;
using net::ProbeResult;

// The texts as the users read them (UTF-8).
const std::string kNotInstalledReport = "Interbase veya FireBird Programı kurulmamış. Lütfen KOVI cd sinden Interbase60 veya FireBird programını kurunuz";
const std::string kNotInstalledError = "Interbase veya FireBird Programı kurulmamış.\nLütfen KOVI cd sinden Interbase60 veya FireBird programını kurunuz\n Daha sonra bu programı tekrar çalıştırın...";
const std::string kNotRunningReport = "HATA:Veritabanı sunucusu açılamıyor. Denetim masasından Firebird server manager veya interbase manager programını çalıştırıp start butonuna basın ";
const std::string kNotRunningMessage = "HATA:Veritabanı sunucusu açılamıyor. Denetim masasından Firebird server manager veya interbase manager programını çalıştırıp start butonuna basın.\nTekrar kontrol butonuna basın";
const std::string kFirstEntry = "processler ilk kayda alınamadı";
const std::string kTcpPrefix = "TCP/IP bağlantısı ";
const std::string kTcpFailed = " bilgisayarı sağlanamadı. Lütfen bilgisayar satıcınızla bağlantıya geçiniz\n Ağ ayarı yapıldıktan sonra bu programı tekrar çalıştırın...";
const std::string kTcpMiddle = " bilgisayarı ile [";
const std::string kTcpOk = "] IP adresinden sağlandı";
const std::string kPortOpen = "Veritabanı portu açık";
const std::string kPortClosed = "HATA:Veritabanı portu kapalı... açılmaya çalışılacak";
const std::string kRestart = "Lütfen bilgisayarınızı kapatıp tekrar açınız\nBilgisayarınızı açtıktan sonra bu programı tekrar çalıştırın";
const std::string kDershaneOk = "Dershane.gdb ile bağlantı sağlandı";
const std::string kDershaneFail = "HATA:Dershane.gdb ile bağlantı sağlanamadı";
const std::string kSmartOk = "Smart.gdb ile bağlantı sağlandı";
const std::string kSmartFail = "HATA:Smart.gdb ile bağlantı sağlanamadı";

struct FakeSystem final : net::CheckSystem {
    std::set<std::string> keys{net::kFirebirdKey};
    net::ProcessList processes{false, {"init", "fbserver.exe", "bash"}};
    std::vector<std::string> ping = std::vector<std::string>(11, "reply");
    std::vector<std::string> netstat{"Proto  Local", "TCP    0.0.0.0:gds_db   LISTENING"};
    std::vector<std::string> candidates{"a/services", "b/services", "c/services"};
    std::map<std::string, std::vector<std::string>> files;
    std::map<std::string, ProbeResult> databases;
    std::vector<std::string> pinged, probed;
    std::string written_path;
    std::vector<std::string> written;

    bool OpenServerKey(const std::string& key) override { return keys.count(key) != 0; }
    net::ProcessList Processes() override { return processes; }
    std::string ComputerName() override { return "LOCALPC"; }
    std::vector<std::string> PingOutput(const std::string& host) override {
        pinged.push_back(host);
        return ping;
    }
    std::vector<std::string> NetstatOutput() override { return netstat; }
    std::vector<std::string> ServicesCandidates() override { return candidates; }
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    std::vector<std::string> ReadLines(const std::string& path) override { return files.at(path); }
    void WriteLines(const std::string& path, const std::vector<std::string>& lines) override {
        written_path = path;
        written = lines;
    }
    ProbeResult ProbeDatabase(const std::string& name) override {
        probed.push_back(name);
        const auto it = databases.find(name);
        return it == databases.end() ? ProbeResult::kConnected : it->second;
    }
};

struct FakeUi final : net::CheckUi {
    std::vector<std::string> events;
    void ClearReport() override { events.push_back("clear"); }
    void Report(const std::string& line) override { events.push_back("report " + line); }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        events.push_back("message[" + caption + "] " + text);
    }
};

std::vector<std::string> RunCheck(FakeSystem& system, const std::string& host) {
    FakeUi ui;
    try {
        net::RunCheck(system, ui, host);
    } catch (const CheckError& e) {
        ui.events.push_back(std::string("error ") + e.what());
    }
    return ui.events;
}

TEST(Check, ScenariosGiveTheirLinesInOrderAndStopWhereTheyMust) {
    const std::string h = "SERVER1";
    const std::string tcp_ok = "report " + kTcpPrefix + h + kTcpMiddle + "10.0.0.5" + kTcpOk;
    struct Case {
        const char* name;
        std::function<void(FakeSystem&)> setup;
        std::vector<std::string> events;
    } cases[] = {
        {"nothing installed", [](FakeSystem& s) { s.keys.clear(); },
         {"clear", "report " + kNotInstalledReport, "error " + kNotInstalledError}},
        {"no server process", [](FakeSystem& s) { s.processes.executables = {"init", "bash"}; },
         {"clear", "report " + kNotRunningReport, "message[] " + kNotRunningMessage}},
        {"first process entry unreadable",
         [](FakeSystem& s) { s.processes = {true, {"x", "IBGuard.EXE"}}; },
         {"clear", "message[Hata] " + kFirstEntry, tcp_ok, "report " + kPortOpen, "report " + kDershaneOk,
          "report " + kSmartOk}},
        {"InterBase only, a name that holds a server name",
         [](FakeSystem& s) {
             s.keys = {net::kInterBaseKey};
             s.processes.executables = {"myibserverx"};
         },
         {"clear", tcp_ok, "report " + kPortOpen, "report " + kDershaneOk, "report " + kSmartOk}},
        {"ten ping lines are no answer", [](FakeSystem& s) { s.ping.resize(10); },
         {"clear", "report " + kTcpPrefix + h + kTcpFailed}},
        {"a third line without brackets", [](FakeSystem& s) { s.ping[2] = "Reply from nowhere"; },
         {"clear", "report " + kTcpPrefix + h + kTcpMiddle + kTcpOk, "report " + kPortOpen, "report " + kDershaneOk,
          "report " + kSmartOk}},
        {"port closed: the last existing services file is patched",
         [](FakeSystem& s) {
             s.netstat = {"TCP 0.0.0.0:3050 LISTENING"};
             s.files["b/services"] = {"echo 7/tcp"};
             s.files["c/services"] = {"ftp 21/tcp"};
         },
         {"clear", tcp_ok, "report " + kPortClosed, "message[] " + kRestart}},
        {"port closed and no services file",
         [](FakeSystem& s) { s.netstat.clear(); },
         {"clear", tcp_ok, "report " + kPortClosed, "error Cannot open file \"\". No such file or directory"}},
        {"the first database fails, the second is still probed",
         [h](FakeSystem& s) { s.databases[h + ":c:\\ders\\dershane.gdb"] = ProbeResult::kFailed; },
         {"clear", tcp_ok, "report " + kPortOpen, "report " + kDershaneFail, "report " + kSmartOk}},
        {"a failed disconnect follows its success line",
         [h](FakeSystem& s) { s.databases[h + ":c:\\ders\\smart.gdb"] = ProbeResult::kConnectedThenDisconnectFailed; },
         {"clear", tcp_ok, "report " + kPortOpen, "report " + kDershaneOk, "report " + kSmartOk,
          "report " + kSmartFail}},
    };
    for (auto& c : cases) {
        FakeSystem system;
        system.ping[2] = "Pinging SERVER1 [10.0.0.5] with 32 bytes of data:";
        c.setup(system);
        EXPECT_EQ(RunCheck(system, h), c.events) << c.name;
    }
}

TEST(Check, ThePortPatchAppendsItsLineToTheLastCandidateEveryTime) {
    FakeSystem system;
    system.netstat.clear();
    system.files["b/services"] = {"echo 7/tcp"};
    system.files["c/services"] = {"ftp 21/tcp"};
    RunCheck(system, "X");
    EXPECT_EQ(system.written_path, "c/services");
    EXPECT_EQ(system.written, (std::vector<std::string>{"ftp 21/tcp", "gds_db           3050/tcp                  "}));
    EXPECT_EQ(std::string(net::kServicesLine).size(), 43u);
    EXPECT_TRUE(system.probed.empty()) << "the databases are not probed on this path";
}

TEST(Check, AnEmptyHostPingsThisComputerAndProbesByBarePath) {
    FakeSystem system;
    system.ping[2] = "[127.0.0.1]";
    const auto events = RunCheck(system, "");
    EXPECT_EQ(system.pinged, (std::vector<std::string>{"LOCALPC"}));
    EXPECT_EQ(events[1], "report " + kTcpPrefix + kTcpMiddle + "127.0.0.1" + kTcpOk);
    EXPECT_EQ(system.probed, (std::vector<std::string>{"c:\\ders\\dershane.gdb", "c:\\ders\\smart.gdb"}));
    FakeSystem named;
    RunCheck(named, "PC7");
    EXPECT_EQ(named.probed, (std::vector<std::string>{"PC7:c:\\ders\\dershane.gdb", "PC7:c:\\ders\\smart.gdb"}));
}

TEST(Check, TheAddressIsWhatStandsBetweenTheFirstBrackets) {
    const std::pair<const char*, const char*> cases[] = {
        {"Pinging a [10.1.2.3] with", "10.1.2.3"}, {"no brackets", ""}, {"]x[", ""}, {"[open", ""},
        {"a[b]c]d", "b"},                          {"[]", ""},          {"", ""},    {"x]y[z]", ""},
    };
    for (const auto& [line, address] : cases) EXPECT_EQ(net::AddressIn(line), address) << line;
}

}  // namespace
}  // namespace qv::test
