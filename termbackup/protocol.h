// The protocol between the terminal control and a terminal (see docs/terminal-protocol.md).
//
// Every message is one frame: "QT", the version, the kind (request or response), a sequence
// number, the command, the payload length, the payload and a CRC-32 of all that precedes it.
// Numbers are little-endian; texts are a 32-bit length and UTF-8 bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_stream.h"

namespace qv::term {

inline constexpr uint8_t kProtocolVersion = 1;
inline constexpr uint32_t kMaxPayload = 64u << 20;  // 64 MiB, room for a whole data backup

enum class Command : uint16_t {
    kHello = 1,             // password, machine -> (status)
    kFirmwareVersion = 2,   // -> text
    kSerialNumber = 3,      // -> text
    kProductCode = 4,       // -> text
    kDeviceTime = 5,        // -> year, month, day, hour, minute, second
    kDeviceStatus = 6,      // counter -> value
    kReadAllUsers = 7,      // -> count, then per user: enroll, name, password, privilege, enabled
    kReadTemplate = 8,      // enroll, finger -> bytes
    kWriteUserInfo = 9,     // enroll, name, password, privilege, enabled
    kSetEnrollData = 10,    // enroll, finger, bytes
    kSetDeviceEnabled = 11, // flag
    kPrepareDisconnect = 12,
    kBackupData = 13,       // -> the terminal's data as a blob
    kRestoreData = 14,      // blob
    kEcho = 15,             // bytes -> the same bytes (a plain transfer, for measurements)
    kTemplatesOfUsers = 16, // count, enroll numbers -> count, then enroll, finger, bytes each
    kFetch = 17,            // size -> that many bytes (a plain transfer from the terminal)
    kSink = 18,             // bytes -> nothing (a plain transfer to the terminal)
};

// Status codes of responses; they are also what GetLastErrorCode reports.
enum Status : int32_t {
    kOk = 0,
    kErrorConnect = -201,       // the terminal could not be reached
    kErrorTimeout = -202,       // no answer before the deadline
    kErrorLineLost = -203,      // the connection ended during an exchange
    kErrorProtocol = -204,      // a damaged or foreign frame
    kErrorPassword = -205,      // the connection password was refused
    kErrorRefused = -206,       // the terminal refused the operation
    kErrorNoData = -207,        // no such user, template or record
    kErrorArgument = -208,      // an argument out of range
    kErrorFile = -209,          // the data file could not be read or written
    kErrorDamagedFile = -210,   // the data file is cut, damaged or of another format
    kErrorNotConnected = -211,  // no connection is open
    kErrorUnknownCommand = -212,
    kErrorMachine = -213,       // the request named another machine number
};

uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// Builds a payload.
class PayloadWriter {
public:
    PayloadWriter& I32(int32_t v);
    PayloadWriter& U32(uint32_t v);
    PayloadWriter& Text(const std::string& utf8);
    PayloadWriter& Bytes(const void* data, size_t size);
    PayloadWriter& Bytes(const std::vector<uint8_t>& b) { return Bytes(b.data(), b.size()); }
    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
};

// Reads a payload; every read fails (and the reader stays failed) past the end.
class PayloadReader {
public:
    PayloadReader(const uint8_t* data, size_t size) : p_(data), e_(data + size) {}
    explicit PayloadReader(const std::vector<uint8_t>& v) : PayloadReader(v.data(), v.size()) {}
    bool I32(int32_t* v);
    bool U32(uint32_t* v);
    bool Text(std::string* utf8, uint32_t max = 1u << 20);
    bool Bytes(std::vector<uint8_t>* bytes, uint32_t max = kMaxPayload);
    bool ok() const { return ok_; }
    bool at_end() const { return p_ == e_; }

private:
    const uint8_t* p_;
    const uint8_t* e_;
    bool ok_ = true;
};

struct Frame {
    bool response = false;
    uint16_t sequence = 0;
    Command command = Command::kHello;
    std::vector<uint8_t> payload;
};

// Sends one frame; false when the stream failed.
platform::StreamResult SendFrame(platform::ByteStream& stream, const Frame& frame,
                                 std::chrono::steady_clock::time_point deadline);
// Receives one frame; `status` tells why when there is none (timeout, line lost, damage).
std::optional<Frame> ReceiveFrame(platform::ByteStream& stream, std::chrono::steady_clock::time_point deadline,
                                  int32_t* status);

}  // namespace qv::term
