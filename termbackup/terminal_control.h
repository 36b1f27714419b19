// The operations of the terminal control as the tool calls them.
//
// Numbers are 32-bit signed integers, texts UTF-16, flags 16-bit booleans (0 false, all bits
// set true). Each operation returns such a flag unless it says otherwise; after a false flag
// GetLastErrorCode tells why (codes in termbackup/protocol.h and docs/terminal-protocol.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::term {

using TBool = int16_t;
inline constexpr TBool kTrue = -1;
inline constexpr TBool kFalse = 0;
inline constexpr int kTemplateBufferSize = 2048;

class ITerminalControl {
public:
    virtual ~ITerminalControl() = default;

    virtual TBool GetControlVersion(std::u16string* version) = 0;
    virtual TBool SetConnectionPassword(int32_t password) = 0;
    virtual TBool ConnectSerial(int32_t port, int32_t machine, int32_t baud) = 0;
    virtual TBool ConnectNetwork(const std::u16string& address, int32_t port) = 0;
    virtual TBool PrepareDisconnect(int32_t machine) = 0;
    virtual TBool SetDeviceEnabled(int32_t machine, TBool enabled) = 0;
    virtual void CloseConnection() = 0;
    virtual void GetLastErrorCode(int32_t* code) = 0;
    virtual TBool GetFirmwareVersion(int32_t machine, std::u16string* text) = 0;
    virtual TBool GetSerialNumber(int32_t machine, std::u16string* text) = 0;
    virtual TBool GetProductCode(int32_t machine, std::u16string* text) = 0;
    virtual TBool GetDeviceTime(int32_t machine, int32_t* year, int32_t* month, int32_t* day, int32_t* hour,
                                int32_t* minute, int32_t* second) = 0;
    virtual TBool GetDeviceStatus(int32_t machine, int32_t counter, int32_t* value) = 0;
    virtual TBool ReadAllUsers(int32_t machine) = 0;
    virtual TBool GetNextUser(int32_t machine, int32_t* enroll, std::u16string* name, std::u16string* password,
                              int32_t* privilege, TBool* enabled) = 0;
    // `buffer` holds kTemplateBufferSize bytes; `length` is that size on the way in and the
    // number of bytes filled on the way out.
    virtual TBool ReadUserTemplate(int32_t machine, int32_t enroll, int32_t finger, uint8_t* buffer,
                                   int32_t* length) = 0;
    virtual TBool WriteUserInfo(int32_t machine, int32_t enroll, const std::u16string& name,
                                const std::u16string& password, int32_t privilege, TBool enabled) = 0;
    virtual TBool SetEnrollData(int32_t machine, int32_t enroll, int32_t finger, const std::vector<uint8_t>& bytes) = 0;
    virtual TBool BackupData(const std::u16string& file) = 0;
    virtual TBool RestoreData(const std::u16string& file) = 0;

    // The property CommPort: the serial port number, set before ConnectSerial.
    virtual int32_t CommPort() const = 0;
    virtual void SetCommPort(int32_t port) = 0;
};

}  // namespace qv::term
