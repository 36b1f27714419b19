// The terminal backup tool without its window: the state the window holds, its handlers and
// the routines they use. The window (and the command-line companion) give it the texts of
// their fields and show what it logs; errors come out as ToolError, whose text the window shows
// in its error box.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "termbackup/terminal_control.h"

namespace qv::term {

class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text-to-integer conversion of the tool: leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Anything else raises
// "'<text>' is not a valid integer value".
int32_t TextToInt(const std::string& text);
// The same without the error: `fallback` for a text that is no number.
int32_t TextToIntOr(const std::string& text, int32_t fallback);

// The text of the error box: the message with "." added when its last character sorts after ".".
std::string ErrorBoxText(const std::string& message);

std::string BytesToHex(const uint8_t* bytes, size_t count);
std::vector<uint8_t> HexToBytes(const std::string& text);
// 0 to 15; characters below "0" read as 0; any other raises "Error of Integer: <c>".
int HexDigitValue(char c);

// Names of the twelve counters, indexed 1 to 12 (entry 0 is empty).
extern const char* const kDeviceStatusNames[13];

class BackupTool {
public:
    using Log = std::function<void(const std::string&)>;

    BackupTool(ITerminalControl& control, Log log);

    // The window's state.
    int32_t machine_number() const { return machine_number_; }
    int32_t com_port_number() const { return com_port_number_; }
    bool connected() const { return connected_; }
    const std::string& connect_caption() const { return connect_caption_; }

    // btnConnectClick: connects with the texts of the address, port (or machine), baud-rate and
    // password fields when not connected, else disconnects. True when connected afterwards.
    bool ConnectClick(const std::string& address, const std::string& port, const std::string& baud,
                      const std::string& password);
    void ShowDeviceInfo();
    // chkEnabledClick.
    void EnabledClick(bool ticked);
    // The version text of the control (the window's Label1).
    std::string ControlVersion();

    // Users to and from a user backup file. The backup is false when the terminal refused the
    // user list; the restore is false when a template was refused.
    bool BackupUsers(const std::string& file);
    bool RestoreUsers(const std::string& file, const std::function<void()>& between_users = {});

    // The terminal's data to and from a data file.
    bool BackupData(const std::string& file);
    bool RestoreData(const std::string& file);

private:
    int32_t LastError();

    ITerminalControl& control_;
    Log log_;
    int32_t machine_number_ = 0;
    int32_t com_port_number_ = 0;
    bool connected_ = false;
    std::string connect_caption_ = "Ba\xC4\x9Flan";
};

}  // namespace qv::term
