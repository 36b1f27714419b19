#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

using qv::platform::AnsiToWide;
using qv::platform::WideToAnsi;

TEST(CodePage, AsciiRoundTrips) {
    std::string all;
    for (int c = 1; c < 0x80; ++c) all.push_back(static_cast<char>(c));
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
    EXPECT_EQ(AnsiToWide(""), u"");
}

TEST(CodePage, UnpairedSurrogateBecomesTheDefaultCharacter) {
    EXPECT_EQ(WideToAnsi(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
    EXPECT_EQ(WideToAnsi(std::u16string(1, char16_t(0xDC00))), "?");
}

#if !defined(_WIN32)
// The narrow encoding of POSIX systems is UTF-8.
TEST(CodePage, Utf8RoundTripsEveryPlane) {
    const std::u16string wide = u"\u011Fi\u015F\u00E7 \u20AC \U0001F600";
    const std::string narrow = "\xC4\x9F" "i" "\xC5\x9F" "\xC3\xA7" " \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(WideToAnsi(wide), narrow);
    EXPECT_EQ(AnsiToWide(narrow), wide);
}

TEST(CodePage, MalformedUtf8BecomesTheDefaultCharacter) {
    struct Case {
        const char* in;
        std::u16string out;
    } cases[] = {
        {"\xFF", u"?"},
        {"a\xC3", u"a?"},              // cut sequence
        {"\xC0\x80", u"??"},           // overlong form
        {"\xED\xA0\x80", u"???"},      // encoded surrogate
        {"\xE2\x82x", u"??x"},         // continuation missing
        {"\xF4\x90\x80\x80", u"????"}, // beyond U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(AnsiToWide(c.in), c.out) << c.in;
}
#else
TEST(CodePage, LetterMissingFromThePageBecomesTheDefaultCharacter) {
    // U+4E2D is in no single-byte Windows code page.
    EXPECT_EQ(WideToAnsi(u"a\u4E2Db"), "a?b");
}
#endif

}  // namespace
