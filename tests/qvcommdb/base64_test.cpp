#include <gtest/gtest.h>

#include <random>

#include "qvcommdb/base64.h"

namespace {

using qv::db::Base64Decode;
using qv::db::Base64Encode;

std::string Encode(const std::string& s) {
    return Base64Encode(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}
std::string Decode(const std::string& s) {
    auto v = Base64Decode(s);
    return std::string(v.begin(), v.end());
}

TEST(Base64, KnownVectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, coded] : cases) {
        EXPECT_EQ(Encode(plain), coded);
        EXPECT_EQ(Decode(coded), plain);
    }
    EXPECT_EQ(Encode(std::string("\xFB\xFF", 2)), "+/8=");
}

TEST(Base64, EveryLengthRoundTrips) {
    std::mt19937 rng(7);
    for (size_t n = 0; n <= 100; ++n) {
        std::vector<unsigned char> bytes(n);
        for (auto& b : bytes) b = static_cast<unsigned char>(rng());
        const std::string text = Base64Encode(bytes.data(), bytes.size());
        EXPECT_EQ(text.size(), (n + 2) / 3 * 4);
        EXPECT_EQ(Base64Decode(text), bytes) << n;
    }
}

TEST(Base64, IrregularTextDecodesAsDocumented) {
    const std::pair<const char*, size_t> cases[] = {
        {"Zg", 0},        // no whole group
        {"Zg=", 0},       // (2 + 1) / 4 groups
        {"A===", 0},      // the last group gives 3 - 3 bytes
        {"AAAA====", 2},  // a run longer than a group cuts into the group before
        {"Zm9v!", 3},     // characters after the groups are not read
        {"Zm9v=Zm9v", 2}, // the "=" counts against the last group; what follows is not read
    };
    for (const auto& [text, size] : cases) EXPECT_EQ(Base64Decode(text).size(), size) << text;
    EXPECT_EQ(Decode("Zm9v!"), "foo");
    EXPECT_EQ(Decode("Z!9v"), std::string("d\x0F\x6F", 3)) << "a stray character counts as 0";
}

}  // namespace
