#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/startup_services.h"
#include "common/trace_limiter.h"
#include "support/test_env.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(TraceLimiter, SendsNinetyNineLinesThenSuppressingThenNothing) {
    qv::test::CaptureFile trace("QV_TRACE_FILE");
    qv::TraceLimiter limiter;
    for (int i = 1; i <= 105; ++i) limiter.Trace(0x10000000, "[QVCOMMDB UNLOAD] process count:%d\n", i);
    const auto lines = Lines(trace.Read());
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[0], "[QVCOMMDB UNLOAD] process count:1");
    EXPECT_EQ(lines[98], "[QVCOMMDB UNLOAD] process count:99");
    EXPECT_EQ(lines[99], "Suppressing: [QVCOMMDB UNLOAD] process count:100");
    EXPECT_EQ(limiter.calls(), 105);
}

TEST(TraceLimiter, DropsEmptyAndOverlongLinesButCountsThem) {
    qv::test::CaptureFile trace("QV_TRACE_FILE");
    qv::TraceLimiter limiter;
    const std::string fits(510, 'x');  // with its line feed, 511 characters
    const std::string too_long(511, 'y');
    limiter.Trace(0x10000, "%s", "");
    limiter.Trace(0x10000, "%s\n", too_long.c_str());
    limiter.Trace(0x10000, "%s\n", fits.c_str());
    EXPECT_EQ(trace.Read(), fits + "\n");
    EXPECT_EQ(limiter.calls(), 3);
}

TEST(TraceLimiter, EachSiteCountsOnItsOwn) {
    qv::test::CaptureFile trace("QV_TRACE_FILE");
    qv::TraceLimiter a, b;
    for (int i = 0; i < 100; ++i) a.Trace(0x10000, "a\n");
    b.Trace(0x10000, "b\n");
    const auto lines = Lines(trace.Read());
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[99], "Suppressing: a");
    EXPECT_EQ(lines[100], "b");
}

TEST(TraceMessage, CategoryMaskFiltersLines) {
    qv::test::CaptureFile trace("QV_TRACE_FILE");
    qv::test::SetEnv("QV_TRACE_MASK", "10000");
    qv::startup::TraceMessage(0x10000000, "dropped\n");
    qv::startup::TraceMessage(0x10000, "kept %d\n", 1);
    qv::test::UnsetEnv("QV_TRACE_MASK");
    EXPECT_EQ(trace.Read(), "kept 1\n");
}

}  // namespace
