// TerminalControl: the real terminal control, speaking the terminal protocol over TCP or a
// serial line. Every exchange has a deadline (QV_TERMINAL_TIMEOUT_MS, 5000 by default); a dead
// terminal or a cut line ends the call with a code, and a lost line closes the connection.
//
// Serial port n is the device named by the environment variable QV_COM<n> (for example
// QV_COM1=/dev/pts/4), else /dev/ttyS<n-1>.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_stream.h"
#include "termbackup/protocol.h"
#include "termbackup/terminal_control.h"

namespace qv::term {

inline constexpr char kControlVersion[] = "QV Terminal Control 1.0";

// The terminal data file: "QVTD", version, payload size, CRC-32 of the payload, payload.
std::vector<uint8_t> EncodeDataFile(const std::vector<uint8_t>& payload);
// The payload of a whole, undamaged data file, or the reason it is not one.
std::optional<std::vector<uint8_t>> DecodeDataFile(const std::vector<uint8_t>& file, int32_t* status);

// The device of serial port n.
std::string SerialDeviceOf(int32_t port);

class TerminalControl final : public ITerminalControl {
public:
    TerminalControl();
    ~TerminalControl() override;

    TBool GetControlVersion(std::u16string* version) override;
    TBool SetConnectionPassword(int32_t password) override;
    TBool ConnectSerial(int32_t port, int32_t machine, int32_t baud) override;
    TBool ConnectNetwork(const std::u16string& address, int32_t port) override;
    TBool PrepareDisconnect(int32_t machine) override;
    TBool SetDeviceEnabled(int32_t machine, TBool enabled) override;
    void CloseConnection() override;
    void GetLastErrorCode(int32_t* code) override;
    TBool GetFirmwareVersion(int32_t machine, std::u16string* text) override;
    TBool GetSerialNumber(int32_t machine, std::u16string* text) override;
    TBool GetProductCode(int32_t machine, std::u16string* text) override;
    TBool GetDeviceTime(int32_t machine, int32_t* year, int32_t* month, int32_t* day, int32_t* hour, int32_t* minute,
                        int32_t* second) override;
    TBool GetDeviceStatus(int32_t machine, int32_t counter, int32_t* value) override;
    TBool ReadAllUsers(int32_t machine) override;
    TBool GetNextUser(int32_t machine, int32_t* enroll, std::u16string* name, std::u16string* password,
                      int32_t* privilege, TBool* enabled) override;
    TBool ReadUserTemplate(int32_t machine, int32_t enroll, int32_t finger, uint8_t* buffer, int32_t* length) override;
    TBool WriteUserInfo(int32_t machine, int32_t enroll, const std::u16string& name, const std::u16string& password,
                        int32_t privilege, TBool enabled) override;
    TBool SetEnrollData(int32_t machine, int32_t enroll, int32_t finger, const std::vector<uint8_t>& bytes) override;
    TBool BackupData(const std::u16string& file) override;
    TBool RestoreData(const std::u16string& file) override;
    int32_t CommPort() const override { return comm_port_; }
    void SetCommPort(int32_t port) override { comm_port_ = port; }

    // Plain transfers over the same protocol, for measurements: to the terminal and back, from
    // the terminal, and to it.
    TBool Echo(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* back);
    TBool Fetch(uint32_t size, std::vector<uint8_t>* bytes);
    TBool Sink(const std::vector<uint8_t>& bytes);

private:
    struct User {
        int32_t enroll;
        std::string name, password;
        int32_t privilege;
        bool enabled;
    };

    // One request and its response's payload after the status; null on failure, with the code
    // kept for GetLastErrorCode.
    std::optional<std::vector<uint8_t>> Exchange(Command command, const PayloadWriter& request);
    TBool Fail(int32_t code);
    TBool ReadText(Command command, int32_t machine, std::u16string* text);
    TBool Hello(int32_t machine);
    bool FetchTemplates(size_t first_user);

    std::unique_ptr<platform::ByteStream> stream_;
    std::chrono::milliseconds timeout_;
    uint16_t sequence_ = 0;
    int32_t last_error_ = kOk;
    int32_t password_ = 0;
    int32_t comm_port_ = 1;
    int32_t machine_ = 1;
    std::vector<User> users_;
    size_t next_user_ = 0;
    // Templates fetched ahead, by enroll number and finger.
    std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> templates_;
    std::map<int32_t, size_t> user_index_;
    size_t fetched_from_ = 0, fetched_until_ = 0;  // the listed users whose templates are held
};

}  // namespace qv::term
