#include <gtest/gtest.h>

#include <cstring>

#include "platform/bstr.h"

namespace {

using qv::platform::Bstr;

TEST(Bstr, LayoutIsByteLengthThenCharactersThenZero) {
    const OLECHAR text[] = {'a', 'b', 0x011F, 0};
    BSTR s = SysAllocString(text);
    ASSERT_NE(s, nullptr);
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 6u);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(s[2], 0x011F);
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);
}

TEST(Bstr, LengthCountsEmbeddedZerosAndNullIsEmpty) {
    const OLECHAR text[] = {'x', 0, 'y'};
    BSTR s = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(s), 3u);
    SysFreeString(s);
    BSTR zeroed = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(SysStringLen(zeroed), 4u);
    SysFreeString(zeroed);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
}

TEST(Bstr, NarrowTextEndsAtTheFirstZeroAndNullIsEmpty) {
    const OLECHAR text[] = {'a', 'b', 0, 'c'};
    Bstr s(SysAllocStringLen(text, 4));
    EXPECT_EQ(s.ToAnsi(), "ab");
    EXPECT_EQ(qv::platform::BstrToAnsi(nullptr), "");
    Bstr empty = Bstr::FromAnsi("");
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(empty.length(), 0u);
}

TEST(Bstr, OwnerFreesAndMoves) {
    Bstr a = Bstr::FromAnsi("hello");
    Bstr b = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(b.ToAnsi(), "hello");
    BSTR raw = b.release();
    EXPECT_EQ(b.get(), nullptr);
    SysFreeString(raw);
}

}  // namespace
