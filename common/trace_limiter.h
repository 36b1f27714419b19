// The guard in front of a debug trace line: one limiter per message site.
//
// Calls 1 to 99 send the formatted line, call 100 sends "Suppressing: " followed by the line,
// later calls send nothing. A line is formatted into 512 characters and dropped when it is empty
// or needs more than 511. Every call counts, dropped or not.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv {

class TraceLimiter {
public:
    static constexpr int kLimit = 100;
    static constexpr int kBufferSize = 512;

    void Trace(uint32_t category, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    int calls() const { return calls_.load(std::memory_order_relaxed); }

private:
    // Counted without a lock; atomic so that concurrent callers do not race on it.
    std::atomic<int> calls_{0};
};

}  // namespace qv
