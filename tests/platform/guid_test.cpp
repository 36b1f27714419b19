#include <gtest/gtest.h>

#include "platform/guid.h"

namespace {

using qv::platform::GuidToString;
using qv::platform::ParseGuid;

constexpr GUID kSample = {0x6B2943F1, 0x4434, 0x4A7C, {0x9D, 0x0B, 0xC3, 0x7C, 0x4D, 0xE6, 0x0C, 0x0F}};

TEST(Guid, FormatsLikeStringFromCLSID) {
    EXPECT_EQ(GuidToString(kSample), "{6B2943F1-4434-4A7C-9D0B-C37C4DE60C0F}");
    EXPECT_EQ(GuidToString(GUID{}), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, ParsesWithOrWithoutBracesInEitherCase) {
    for (const char* text : {"{6B2943F1-4434-4A7C-9D0B-C37C4DE60C0F}", "6b2943f1-4434-4a7c-9d0b-c37c4de60c0f"}) {
        auto g = ParseGuid(text);
        ASSERT_TRUE(g.has_value()) << text;
        EXPECT_TRUE(IsEqualGUID(*g, kSample)) << text;
    }
}

TEST(Guid, RejectsMalformedText) {
    for (const char* text : {"", "{6B2943F1-4434-4A7C-9D0B-C37C4DE60C0F", "6B2943F1-4434-4A7C-9D0B-C37C4DE60C0",
                             "6B2943F1x4434-4A7C-9D0B-C37C4DE60C0F", "{6B2943F1-4434-4A7C-9D0B-C37C4DE60C0G}",
                             "(6B2943F1-4434-4A7C-9D0B-C37C4DE60C0F)"})
        EXPECT_FALSE(ParseGuid(text).has_value()) << text;
}

}  // namespace
