#include "termbackup/protocol.h"

#include <cstring>

namespace qv::term {

namespace {

// Eight tables: the CRC goes eight bytes a step.
struct CrcTables {
    uint32_t t[8][256];
    constexpr CrcTables() : t() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k) t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8);
    }
};
constexpr CrcTables kCrc;

constexpr size_t kHeaderSize = 12;

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int32_t StatusOf(platform::StreamResult r) {
    switch (r) {
        case platform::StreamResult::kOk: return kOk;
        case platform::StreamResult::kTimeout: return kErrorTimeout;
        case platform::StreamResult::kClosed: return kErrorLineLost;
        case platform::StreamResult::kError: return kErrorLineLost;
    }
    return kErrorLineLost;
}

}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    const auto* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (; size >= 8; p += 8, size -= 8) {
        const uint32_t lo = (static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                             static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24) ^ crc;
        crc = kCrc.t[7][lo & 0xFF] ^ kCrc.t[6][(lo >> 8) & 0xFF] ^ kCrc.t[5][(lo >> 16) & 0xFF] ^ kCrc.t[4][lo >> 24] ^
              kCrc.t[3][p[4]] ^ kCrc.t[2][p[5]] ^ kCrc.t[1][p[6]] ^ kCrc.t[0][p[7]];
    }
    for (; size > 0; --size) crc = kCrc.t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

PayloadWriter& PayloadWriter::I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }

PayloadWriter& PayloadWriter::U32(uint32_t v) {
    uint8_t b[4];
    PutU32(b, v);
    data_.insert(data_.end(), b, b + 4);
    return *this;
}

PayloadWriter& PayloadWriter::Text(const std::string& utf8) { return Bytes(utf8.data(), utf8.size()); }

PayloadWriter& PayloadWriter::Bytes(const void* data, size_t size) {
    U32(static_cast<uint32_t>(size));
    const auto* p = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), p, p + size);
    return *this;
}

bool PayloadReader::U32(uint32_t* v) {
    if (!ok_ || e_ - p_ < 4) return ok_ = false;
    *v = GetU32(p_);
    p_ += 4;
    return true;
}

bool PayloadReader::I32(int32_t* v) {
    uint32_t u = 0;
    if (!U32(&u)) return false;
    *v = static_cast<int32_t>(u);
    return true;
}

bool PayloadReader::Text(std::string* utf8, uint32_t max) {
    uint32_t n = 0;
    if (!U32(&n) || n > max || static_cast<size_t>(e_ - p_) < n) return ok_ = false;
    utf8->assign(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return true;
}

bool PayloadReader::Bytes(std::vector<uint8_t>* bytes, uint32_t max) {
    uint32_t n = 0;
    if (!U32(&n) || n > max || static_cast<size_t>(e_ - p_) < n) return ok_ = false;
    bytes->assign(p_, p_ + n);
    p_ += n;
    return true;
}

platform::StreamResult SendFrame(platform::ByteStream& stream, const Frame& frame,
                                 std::chrono::steady_clock::time_point deadline) {
    std::vector<uint8_t> bytes(kHeaderSize + frame.payload.size() + 4);
    bytes[0] = 'Q';
    bytes[1] = 'T';
    bytes[2] = kProtocolVersion;
    bytes[3] = frame.response ? 2 : 1;
    PutU16(&bytes[4], frame.sequence);
    PutU16(&bytes[6], static_cast<uint16_t>(frame.command));
    PutU32(&bytes[8], static_cast<uint32_t>(frame.payload.size()));
    if (!frame.payload.empty()) std::memcpy(&bytes[kHeaderSize], frame.payload.data(), frame.payload.size());
    PutU32(&bytes[kHeaderSize + frame.payload.size()], Crc32(bytes.data(), kHeaderSize + frame.payload.size()));
    return stream.WriteAll(bytes.data(), bytes.size(), deadline);
}

std::optional<Frame> ReceiveFrame(platform::ByteStream& stream, std::chrono::steady_clock::time_point deadline,
                                  int32_t* status) {
    uint8_t header[kHeaderSize];
    platform::StreamResult r = stream.ReadExact(header, sizeof header, deadline);
    if (r != platform::StreamResult::kOk) return *status = StatusOf(r), std::nullopt;
    const uint32_t length = GetU32(header + 8);
    if (header[0] != 'Q' || header[1] != 'T' || header[2] != kProtocolVersion || (header[3] != 1 && header[3] != 2) ||
        length > kMaxPayload)
        return *status = kErrorProtocol, std::nullopt;
    Frame frame;
    frame.response = header[3] == 2;
    frame.sequence = GetU16(header + 4);
    frame.command = static_cast<Command>(GetU16(header + 6));
    frame.payload.resize(length);
    uint8_t crc[4];
    if ((r = stream.ReadExact(frame.payload.data(), length, deadline)) != platform::StreamResult::kOk ||
        (r = stream.ReadExact(crc, 4, deadline)) != platform::StreamResult::kOk)
        return *status = StatusOf(r), std::nullopt;
    uint32_t expected = Crc32(header, sizeof header);
    expected = Crc32(frame.payload.data(), frame.payload.size(), expected);
    if (GetU32(crc) != expected) return *status = kErrorProtocol, std::nullopt;
    *status = kOk;
    return frame;
}

}  // namespace qv::term
