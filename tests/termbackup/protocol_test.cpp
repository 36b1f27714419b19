#include <gtest/gtest.h>

#include <cstring>

#include "termbackup/protocol.h"
#include "termbackup/terminal_client.h"

namespace qv::test {
namespace {

using namespace term;

TEST(Protocol, CrcIsTheStandardCrc32) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    // Chained over pieces, the same as over the whole.
    const char text[] = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32(text + 10, sizeof text - 11, Crc32(text, 10)), Crc32(text, sizeof text - 1));
}

// A stream over bytes in memory.
class MemoryStream final : public platform::ByteStream {
public:
    std::vector<uint8_t> bytes;
    size_t read_at = 0;
    platform::StreamResult WriteAll(const void* data, size_t size, std::chrono::steady_clock::time_point) override {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return platform::StreamResult::kOk;
    }
    platform::StreamResult ReadExact(void* data, size_t size, std::chrono::steady_clock::time_point) override {
        if (bytes.size() - read_at < size) return platform::StreamResult::kClosed;
        std::memcpy(data, bytes.data() + read_at, size);
        read_at += size;
        return platform::StreamResult::kOk;
    }
};

TEST(Protocol, FramesRoundTripAndDamageIsNoticed) {
    const auto later = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    Frame frame;
    frame.sequence = 513;
    frame.command = Command::kReadTemplate;
    PayloadWriter w;
    w.I32(-5).Text("caf\xC3\xA9").Bytes(std::vector<uint8_t>{1, 2, 3});
    frame.payload = w.data();
    MemoryStream good;
    ASSERT_EQ(SendFrame(good, frame, later), platform::StreamResult::kOk);
    EXPECT_EQ(good.bytes.size(), 12 + frame.payload.size() + 4);
    EXPECT_EQ(std::string(good.bytes.begin(), good.bytes.begin() + 4), std::string("QT\x01\x01", 4));
    int32_t status = 1;
    auto back = ReceiveFrame(good, later, &status);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(status, kOk);
    EXPECT_EQ(back->sequence, 513);
    EXPECT_EQ(back->command, Command::kReadTemplate);
    PayloadReader r(back->payload);
    int32_t number = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(r.I32(&number) && r.Text(&text) && r.Bytes(&bytes));
    EXPECT_EQ(number, -5);
    EXPECT_EQ(text, "caf\xC3\xA9");
    EXPECT_TRUE(r.at_end());
    EXPECT_FALSE(r.I32(&number)) << "reading past the end fails";

    for (size_t at : {size_t{0}, size_t{2}, size_t{8}, good.bytes.size() - 1, size_t{14}}) {
        MemoryStream damaged;
        damaged.bytes = good.bytes;
        damaged.bytes[at] ^= 0x40;
        EXPECT_FALSE(ReceiveFrame(damaged, later, &status).has_value()) << at;
        EXPECT_TRUE(status == kErrorProtocol || status == kErrorLineLost) << at;
    }
    MemoryStream cut;
    cut.bytes.assign(good.bytes.begin(), good.bytes.end() - 3);
    EXPECT_FALSE(ReceiveFrame(cut, later, &status).has_value());
    EXPECT_EQ(status, kErrorLineLost);
}

TEST(DataFile, OnlyAWholeFileDecodes) {
    const std::vector<uint8_t> payload = {9, 8, 7, 6};
    const auto file = EncodeDataFile(payload);
    int32_t status = 1;
    EXPECT_EQ(DecodeDataFile(file, &status), payload);
    EXPECT_EQ(status, kOk);
    auto longer = file;
    longer.push_back(0);
    auto other_version = file;
    other_version[4] = 2;
    for (const auto& bad : {longer, other_version, std::vector<uint8_t>(file.begin(), file.end() - 1),
                            std::vector<uint8_t>()}) {
        EXPECT_FALSE(DecodeDataFile(bad, &status).has_value());
        EXPECT_EQ(status, kErrorDamagedFile);
    }
}

TEST(SerialPorts, MapToDevicesByEnvironmentOrByNumber) {
    EXPECT_EQ(SerialDeviceOf(1), "/dev/ttyS0");
    EXPECT_EQ(SerialDeviceOf(12), "/dev/ttyS11");
}

}  // namespace
}  // namespace qv::test
