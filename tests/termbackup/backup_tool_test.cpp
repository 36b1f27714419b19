#include <gtest/gtest.h>

#include "fake_control.h"
#include "support/test_env.h"
#include "termbackup/backup_tool.h"

namespace qv::test {
namespace {

using term::BackupTool;
using term::ToolError;

class ToolTest : public ::testing::Test {
protected:
    ToolTest() : tool_(control_, [this](const std::string& line) { log_.push_back(line); }) {}
    FakeControl control_;
    std::vector<std::string> log_;
    BackupTool tool_;
    TempDir dir_;
};

TEST(TextToInt, ReadsDecimalAndHexadecimalOrSaysWhyNot) {
    const std::pair<const char*, int32_t> good[] = {{"1", 1},      {"  42", 42},     {"-5", -5},  {"+7", 7},
                                                    {"$1112", 4370}, {"x10", 16},    {"0X1f", 31}, {"2147483647", 2147483647},
                                                    {"-2147483648", INT32_MIN}};
    for (const auto& [text, value] : good) EXPECT_EQ(term::TextToInt(text), value) << text;
    for (const char* bad : {"", "abc", "12a", "1 ", "2147483648", "$", "0x", "1.5"}) {
        try {
            term::TextToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const ToolError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

TEST(ErrorBox, AddsAFullStopAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(term::ErrorBoxText("'x' is not a valid integer value"), "'x' is not a valid integer value.");
    EXPECT_EQ(term::ErrorBoxText("Error of Integer: G"), "Error of Integer: G.");
    EXPECT_EQ(term::ErrorBoxText("done."), "done.");
    EXPECT_EQ(term::ErrorBoxText("(a)"), "(a)") << "')' sorts before '.'";
    EXPECT_EQ(term::ErrorBoxText(""), "");
}

TEST(Hex, EncodesUpperCaseAndDecodesAsDocumented) {
    const uint8_t bytes[] = {0x0A, 0xFF, 0x00};
    EXPECT_EQ(term::BytesToHex(bytes, 3), "0AFF00");
    EXPECT_EQ(term::HexToBytes("0aFf"), (std::vector<uint8_t>{0x0A, 0xFF}));
    EXPECT_EQ(term::HexToBytes("0A1"), (std::vector<uint8_t>{0x0A}));
    EXPECT_EQ(term::HexToBytes(" 1"), (std::vector<uint8_t>{0x01})) << "a blank reads as 0";
    EXPECT_EQ(term::HexDigitValue(':'), 10);
    EXPECT_EQ(term::HexDigitValue('?'), 15);
    try {
        term::HexToBytes("0G");
        ADD_FAILURE();
    } catch (const ToolError& e) {
        EXPECT_STREQ(e.what(), "Error of Integer: G");
    }
}

TEST_F(ToolTest, SerialConnectUsesTheFourthCharacterOnlyAndReportsTheDevice) {
    struct Case {
        const char* address;
        int32_t port;
    } cases[] = {{"COM3", 3}, {"com7", 7}, {"COM12", 1}, {"COM", -48}};
    for (const auto& c : cases) {
        FakeControl control;
        std::vector<std::string> log;
        BackupTool tool(control, [&](const std::string& l) { log.push_back(l); });
        EXPECT_TRUE(tool.ConnectClick(c.address, "5", "9600", ""));
        EXPECT_EQ(tool.com_port_number(), c.port) << c.address;
        EXPECT_EQ(tool.machine_number(), 5);
        EXPECT_EQ(control.calls[0], "CommPort " + std::to_string(c.port));
        EXPECT_EQ(control.calls[1], "ConnectSerial " + std::to_string(c.port) + " 5 9600");
        EXPECT_EQ(tool.connect_caption(), "Disconnect");
        ASSERT_EQ(log.size(), 1u + 3 + 1 + 12 + 1);
        EXPECT_EQ(log.front(), "Device Connected.");
        EXPECT_EQ(log.back(), " ");
    }
}

TEST_F(ToolTest, DeviceReportLinesAndTheirFailures) {
    control_.failing_reads = {"SerialNumber", "DeviceTime", "DeviceStatus4"};
    tool_.ConnectClick("COM1", "1", "115200", "");
    const std::vector<std::string> expected = {
        "Device Connected.",
        "Firmware Version: FirmwareVersion text",
        "! GetSerialNumber ErrorNo.=-7",
        "ProductCode: ProductCode text",
        "! GetDeviceTime ErrorNo.=-7",
        "Tatal administrator: 10",
        "Tatal users: 20",
        "Tatal FP: 30",
        "! GetDeviceStatus(4) ErrorNo.=-7",
        "Tatal manage record: 50",
        "Tatal In and out record: 60",
        "Nominal FP number: 70",
        "Nominal user number: 80",
        "Nominal In and out record number: 90",
        "Remain FP number: 100",
        "Remain user number: 110",
        "Remain In and out record number: 120",
        " ",
    };
    EXPECT_EQ(log_, expected);
    log_.clear();
    control_.failing_reads.clear();
    tool_.ShowDeviceInfo();
    EXPECT_EQ(log_[3], "DeviceTime=2026-3-4 5:6:7");
}

TEST_F(ToolTest, NetworkConnectTakesThePortFromTheSecondFieldAndSetsMachineOne) {
    control_.connect_ok = false;
    EXPECT_FALSE(tool_.ConnectClick("192.168.1.201", "$1112", "115200", ""));
    EXPECT_EQ(control_.calls, (std::vector<std::string>{"ConnectNetwork 192.168.1.201 4370"}));
    EXPECT_EQ(tool_.machine_number(), 1);
    EXPECT_EQ(log_, (std::vector<std::string>{"! ConnectDevice ErrorNo.=-7", " "}));
    EXPECT_EQ(tool_.connect_caption(), "Ba\xC4\x9Flan");
}

TEST_F(ToolTest, APasswordThatIsNoNumberStopsBeforeAnyConnection) {
    try {
        tool_.ConnectClick("COM1", "9", "115200", "abc");
        ADD_FAILURE();
    } catch (const ToolError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(tool_.machine_number(), 9) << "set before the password is read";
    EXPECT_TRUE(control_.calls.empty());
    tool_.ConnectClick("COM1", "9", "115200", "1234");
    EXPECT_EQ(control_.calls[0], "SetConnectionPassword 1234");
}

TEST_F(ToolTest, DisconnectRunsItsThreeCallsAndTheCaptionBecomesConnect) {
    tool_.ConnectClick("COM2", "3", "115200", "");
    control_.calls.clear();
    EXPECT_FALSE(tool_.ConnectClick("COM2", "3", "115200", ""));
    EXPECT_EQ(control_.calls, (std::vector<std::string>{"PrepareDisconnect 3", "SetDeviceEnabled 3 -1", "CloseConnection"}));
    EXPECT_EQ(tool_.connect_caption(), "Connect");
    tool_.EnabledClick(false);
    EXPECT_EQ(control_.Last(), "SetDeviceEnabled 3 0");
}

TEST_F(ToolTest, UserBackupWritesOneSectionPerUserWithCrLf) {
    control_.users = {{12, "Depo", "", 0, true, {{0, {0x01, 0x23, 0xAB}}}},
                      {3, "\xC3\x87" "ay", "77", 2, false, {}}};
    const std::string file = dir_.file("yedek.dat");
    WriteFile(file, "[Old]\r\nkey=stale\r\n");
    ASSERT_TRUE(tool_.BackupUsers(file));
    EXPECT_EQ(ReadFile(file),
              "[Users_12]\r\nPrivilege=0\r\nEnabled=1\r\nName=Depo\r\nPassword=\r\nFPT_0=0123AB\r\n"
              "[Users_3]\r\nPrivilege=2\r\nEnabled=0\r\nName=\xC3\x87" "ay\r\nPassword=77\r\n");
    const std::string written = ReadFile(file);
    control_.read_all_ok = false;
    EXPECT_FALSE(tool_.BackupUsers(file));
    EXPECT_EQ(ReadFile(file), written) << "a refused user list leaves the earlier backup as it was";
    EXPECT_FALSE(tool_.BackupUsers(dir_.file("new.dat")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("new.dat"))) << "and makes no new file";
}

TEST_F(ToolTest, UserRestoreGoesInAscendingNumbersWithItsDefaults) {
    const std::string file = dir_.file("in.dat");
    WriteFile(file,
              "[Users_7]\r\nName=Seven\r\nPassword=-1\r\nFPT_1=0aFf\r\nFPT_2=\r\nFPT_3=0A1\r\nFPT_4=5\r\n"
              "[users_3]\r\nprivilege=4\r\nENABLED=0\r\nName=Three\r\n"
              "[Users_0]\r\nName=zero\r\n[Users_65535]\r\nName=big\r\n[Users_007]\r\nName=padded\r\n"
              "[Other]\r\nName=other\r\n");
    int pumped = 0;
    EXPECT_TRUE(tool_.RestoreUsers(file, [&] { ++pumped; }));
    EXPECT_EQ(pumped, 2);
    EXPECT_EQ(control_.calls, (std::vector<std::string>{
                                  "WriteUserInfo 0 3 [Three] [] 4 0",
                                  "WriteUserInfo 0 7 [Seven] [] 0 -1",
                                  "SetEnrollData 7 1 0AFF",
                                  "SetEnrollData 7 3 0A",
                              }));
    EXPECT_EQ(log_, (std::vector<std::string>{"SetEnrollData OK: User=7,FP=1", "SetEnrollData OK: User=7,FP=3"}));
    control_.calls.clear();
    log_.clear();
    control_.set_enroll_ok = false;
    EXPECT_FALSE(tool_.RestoreUsers(file));
    EXPECT_EQ(log_[0], "SetEnrollData Fail: User=7,FP=1, Error=-7");
}

TEST_F(ToolTest, ABadTemplateDigitStopsTheRestoreWithItsError) {
    const std::string file = dir_.file("bad.dat");
    WriteFile(file, "[Users_1]\r\nFPT_0=00\r\nFPT_1=0G\r\n[Users_2]\r\nName=later\r\n");
    try {
        tool_.RestoreUsers(file);
        ADD_FAILURE();
    } catch (const ToolError& e) {
        EXPECT_STREQ(e.what(), "Error of Integer: G");
    }
    EXPECT_EQ(control_.Last(), "SetEnrollData 1 0 00") << "what was sent before stays sent";
}

TEST_F(ToolTest, AMissingFileRestoresNothing) {
    EXPECT_TRUE(tool_.RestoreUsers(dir_.file("none.dat")));
    EXPECT_TRUE(control_.calls.empty());
}

TEST_F(ToolTest, DataBackupAndRestoreLogTheirOutcome) {
    EXPECT_TRUE(tool_.BackupData("/x/data file.dbin"));
    EXPECT_EQ(log_.back(), "Backup Data to File: \"/x/data file.dbin\" OK.");
    control_.backup_ok = false;
    EXPECT_FALSE(tool_.BackupData("b.dbin"));
    EXPECT_EQ(log_.back(), "CancelOperation Error, Code=-7");
    EXPECT_TRUE(tool_.RestoreData("r.dbin"));
    EXPECT_EQ(log_.back(), "Restore Data from File: \"r.dbin\" OK.");
    control_.restore_ok = false;
    EXPECT_FALSE(tool_.RestoreData("r.dbin"));
    EXPECT_EQ(log_.back(), "RestoreData Error, Code=-7");
}

}  // namespace
}  // namespace qv::test
