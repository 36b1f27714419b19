// The terminal control against terminal-sim, over real loopback TCP and a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/codepage.h"
#include "platform/process.h"
#include "support/test_env.h"
#include "termbackup/backup_tool.h"
#include "termbackup/protocol.h"
#include "termbackup/terminal_client.h"

namespace qv::test {
namespace {

using namespace term;
using Clock = std::chrono::steady_clock;

// One simulator process and its endpoints.
struct Sim {
    std::unique_ptr<platform::ChildProcess> child;
    int port = 0;
    std::string pty;

    explicit Sim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", "127.0.0.1:0", "--pty"});
        child = platform::ChildProcess::Start(platform::ProgramDirectory() + "terminal-sim", args);
        for (int i = 0; i < 2 && child; ++i) {
            const auto line = child->ReadLine(10000);
            if (!line) break;
            if (line->rfind("tcp 127.0.0.1:", 0) == 0) port = std::stoi(line->substr(14));
            if (line->rfind("pty ", 0) == 0) pty = line->substr(4);
        }
    }
    ~Sim() {
        if (child) child->Kill();
    }
};

std::u16string Loopback() { return u"127.0.0.1"; }

struct UserSnapshot {
    std::string name, password;
    int32_t privilege;
    bool enabled;
    std::map<int32_t, std::vector<uint8_t>> templates;
    bool operator==(const UserSnapshot& o) const {
        return name == o.name && password == o.password && privilege == o.privilege && enabled == o.enabled &&
               templates == o.templates;
    }
};

std::map<int32_t, UserSnapshot> Snapshot(TerminalControl& c) {
    std::map<int32_t, UserSnapshot> out;
    EXPECT_TRUE(c.ReadAllUsers(1));
    int32_t enroll = 0, privilege = 0;
    std::u16string name, password;
    TBool enabled = kFalse;
    while (c.GetNextUser(1, &enroll, &name, &password, &privilege, &enabled)) {
        UserSnapshot u{platform::WideToAnsi(name), platform::WideToAnsi(password), privilege, enabled != 0, {}};
        for (int32_t f = 0; f < 10; ++f) {
            uint8_t buffer[kTemplateBufferSize];
            int32_t length = kTemplateBufferSize;
            if (c.ReadUserTemplate(1, enroll, f, buffer, &length)) u.templates[f].assign(buffer, buffer + length);
        }
        out[enroll] = u;
    }
    return out;
}

int32_t Code(TerminalControl& c) {
    int32_t code = 0;
    c.GetLastErrorCode(&code);
    return code;
}

TEST(TerminalSim, EveryOperationOverTcp) {
    Sim sim({"--users", "4", "--seed", "9"});
    ASSERT_GT(sim.port, 0);
    TerminalControl c;
    ASSERT_TRUE(c.ConnectNetwork(Loopback(), sim.port)) << Code(c);
    std::u16string text;
    EXPECT_TRUE(c.GetFirmwareVersion(1, &text));
    EXPECT_EQ(text, u"Ver 6.60 Sim 1");
    int32_t y, mo, d, h, mi, s, value;
    EXPECT_TRUE(c.GetDeviceTime(1, &y, &mo, &d, &h, &mi, &s));
    EXPECT_GE(y, 2024);
    EXPECT_TRUE(c.GetDeviceStatus(1, 2, &value));
    EXPECT_EQ(value, 4);
    EXPECT_FALSE(c.GetDeviceStatus(1, 13, &value));
    EXPECT_EQ(Code(c), kErrorArgument);
    EXPECT_FALSE(c.GetFirmwareVersion(2, &text)) << "another machine number";
    EXPECT_EQ(Code(c), kErrorMachine);
    EXPECT_EQ(Snapshot(c).size(), 4u);
    EXPECT_TRUE(c.WriteUserInfo(1, 100, u"New \u00C7", u"55", 1, kTrue));
    EXPECT_TRUE(c.SetEnrollData(1, 100, 9, std::vector<uint8_t>(2048, 0x5A)));
    EXPECT_FALSE(c.SetEnrollData(1, 100, 9, std::vector<uint8_t>(2049, 0x5A)));
    EXPECT_FALSE(c.SetEnrollData(1, 555, 0, {1})) << "no such user";
    const auto users = Snapshot(c);
    ASSERT_EQ(users.count(100), 1u);
    EXPECT_EQ(users.at(100).name, "New \xC3\x87");
    EXPECT_EQ(users.at(100).templates.at(9), std::vector<uint8_t>(2048, 0x5A));
    EXPECT_TRUE(c.SetDeviceEnabled(1, kFalse));
    std::vector<uint8_t> back;
    EXPECT_TRUE(c.Echo({1, 2, 3}, &back));
    EXPECT_EQ(back, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(c.PrepareDisconnect(1));
    c.CloseConnection();
    EXPECT_FALSE(c.GetFirmwareVersion(1, &text));
    EXPECT_EQ(Code(c), kErrorNotConnected);
}

TEST(TerminalSim, TheToolBacksUpOverASerialLine) {
    Sim sim({"--users", "3", "--machine", "7"});
    ASSERT_FALSE(sim.pty.empty());
    SetEnv("QV_COM4", sim.pty);
    TerminalControl c;
    std::vector<std::string> log;
    BackupTool tool(c, [&](const std::string& l) { log.push_back(l); });
    ASSERT_TRUE(tool.ConnectClick("COM4", "7", "115200", ""));
    EXPECT_EQ(log[2], "Serial Number: QVSIM0000001");
    TempDir dir;
    ASSERT_TRUE(tool.BackupUsers(dir.file("users.dat")));
    EXPECT_NE(ReadFile(dir.file("users.dat")).find("[Users_3]\r\n"), std::string::npos);
    tool.ConnectClick("COM4", "7", "115200", "");
    UnsetEnv("QV_COM4");
}

TEST(TerminalSim, AWrongPasswordOrAMissingPortIsRefused) {
    Sim sim({"--password", "4321"});
    TerminalControl c;
    c.SetConnectionPassword(1);
    EXPECT_FALSE(c.ConnectNetwork(Loopback(), sim.port));
    EXPECT_EQ(Code(c), kErrorPassword);
    c.SetConnectionPassword(4321);
    EXPECT_TRUE(c.ConnectNetwork(Loopback(), sim.port));
    TerminalControl nowhere;
    SetEnv("QV_COM9", "/nonexistent/tty");
    EXPECT_FALSE(nowhere.ConnectSerial(9, 1, 115200));
    EXPECT_EQ(Code(nowhere), kErrorConnect);
    UnsetEnv("QV_COM9");
}

TEST(TerminalSim, ARefusedOperationGivesItsCode) {
    Sim sim({"--users", "2", "--refuse", "7"});
    TerminalControl c;
    ASSERT_TRUE(c.ConnectNetwork(Loopback(), sim.port));
    EXPECT_FALSE(c.ReadAllUsers(1));
    EXPECT_EQ(Code(c), kErrorRefused);
}

TEST(TerminalSim, ALineCutDuringABackupEndsItWithoutHanging) {
    // Exchange 1 is the greeting, 2 to 17 the device report, 18 the user list, 19 the first
    // templates: cut there.
    Sim sim({"--users", "5", "--drop-after", "19"});
    TerminalControl c;
    TempDir dir;
    std::vector<std::string> log;
    BackupTool tool(c, [&](const std::string& l) { log.push_back(l); });
    ASSERT_TRUE(tool.ConnectClick("127.0.0.1", std::to_string(sim.port), "", ""));
    const auto t0 = Clock::now();
    EXPECT_TRUE(tool.BackupUsers(dir.file("cut.dat")));
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(4));
    EXPECT_EQ(ReadFile(dir.file("cut.dat")).find("FPT_"), std::string::npos) << "no template could be read";
    std::u16string text;
    EXPECT_FALSE(c.GetFirmwareVersion(1, &text));
    EXPECT_EQ(Code(c), kErrorNotConnected) << "the line went and the connection with it";
}

TEST(TerminalSim, ADeadTerminalEndsTheCallAtItsDeadline) {
    Sim sim({"--delay-ms", "5000"});
    SetEnv("QV_TERMINAL_TIMEOUT_MS", "400");
    TerminalControl c;
    const auto t0 = Clock::now();
    EXPECT_FALSE(c.ConnectNetwork(Loopback(), sim.port));
    EXPECT_EQ(Code(c), kErrorTimeout);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(2000));
    UnsetEnv("QV_TERMINAL_TIMEOUT_MS");
}

TEST(TerminalSim, ADamagedOrCutDataFileChangesNothing) {
    Sim sim({"--users", "6"});
    TerminalControl c;
    ASSERT_TRUE(c.ConnectNetwork(Loopback(), sim.port));
    TempDir dir;
    const std::string good = dir.file("data.dbin");
    ASSERT_TRUE(c.BackupData(std::u16string(good.begin(), good.end())));
    const std::string bytes = ReadFile(good);
    ASSERT_TRUE(c.WriteUserInfo(1, 50, u"after the backup", u"", 0, kTrue));
    const auto before = Snapshot(c);
    std::string flipped = bytes;
    flipped[flipped.size() / 2] ^= 0x01;
    const std::pair<const char*, std::string> damaged[] = {
        {"flipped.dbin", flipped}, {"cut.dbin", bytes.substr(0, bytes.size() - 10)}, {"empty.dbin", ""},
        {"foreign.dbin", "not a data file at all"}};
    for (const auto& [name, content] : damaged) {
        const std::string path = dir.file(name);
        WriteFile(path, content);
        EXPECT_FALSE(c.RestoreData(std::u16string(path.begin(), path.end()))) << name;
        EXPECT_EQ(Code(c), kErrorDamagedFile) << name;
    }
    EXPECT_EQ(Snapshot(c), before);
    ASSERT_TRUE(c.RestoreData(std::u16string(good.begin(), good.end())));
    EXPECT_EQ(Snapshot(c).count(50), 0u) << "the good file restores the state of its backup";
}

TEST(TerminalSim, UsersBackedUpFromOneTerminalAndRestoredIntoAnotherAreTheSame) {
    Sim from({"--users", "30", "--seed", "11", "--template-size", "2048"});
    Sim to({});
    TerminalControl a, b;
    ASSERT_TRUE(a.ConnectNetwork(Loopback(), from.port));
    ASSERT_TRUE(b.ConnectNetwork(Loopback(), to.port));
    TempDir dir;
    std::vector<std::string> log;
    BackupTool source(a, [&](const std::string& l) { log.push_back(l); });
    BackupTool target(b, [&](const std::string& l) { log.push_back(l); });
    source.ConnectClick("127.0.0.1", std::to_string(from.port), "", "");
    target.ConnectClick("127.0.0.1", std::to_string(to.port), "", "");
    ASSERT_TRUE(source.BackupUsers(dir.file("yedek.dat")));
    ASSERT_TRUE(target.RestoreUsers(dir.file("yedek.dat")));
    const auto original = Snapshot(a), copy = Snapshot(b);
    EXPECT_EQ(original.size(), 30u);
    EXPECT_EQ(copy, original);
}

TEST(TerminalSim, TheCommandLineCompanionReportsFailureByItsStatus) {
    Sim sim({"--users", "2"});
    TempDir dir;
    auto run = [&](std::vector<std::string> args) {
        auto child = platform::ChildProcess::Start(platform::ProgramDirectory() + "termbackup-cli", args);
        std::string out;
        while (auto line = child->ReadLine(20000)) out += *line + "\n";
        return std::make_pair(child->Wait(20000).value_or(-1), out);
    };
    const std::string tcp = "127.0.0.1:" + std::to_string(sim.port);
    auto [code, out] = run({"--tcp", tcp, "backup-data", dir.file("d.dbin")});
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("Backup Data to File: \"" + dir.file("d.dbin") + "\" OK.\n"), std::string::npos) << out;
    WriteFile(dir.file("bad.dbin"), "damaged");
    std::tie(code, out) = run({"--tcp", tcp, "restore-data", dir.file("bad.dbin")});
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("RestoreData Error, Code=-210\n"), std::string::npos) << out;
    std::tie(code, out) = run({"--tcp", "127.0.0.1:1", "info"});
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("! ConnectDevice ErrorNo.=-201\n \n"), std::string::npos) << out;
    std::tie(code, out) = run({"info"});
    EXPECT_EQ(code, 2);
}

}  // namespace
}  // namespace qv::test
