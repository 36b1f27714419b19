#include "common/trace_limiter.h"

#include <cstdarg>
#include <cstdio>

#include "common/startup_services.h"

namespace qv {

void TraceLimiter::Trace(uint32_t category, const char* format, ...) {
    const int call = calls_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (call > kLimit || !format) return;
    char line[kBufferSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n <= 0 || n > kBufferSize - 1) return;
    if (call < kLimit)
        startup::TraceMessage(category, "%s", line);
    else
        startup::TraceMessage(category, "Suppressing: %s", line);
}

}  // namespace qv
