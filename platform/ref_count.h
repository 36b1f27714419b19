// Reference counts changed atomically, the same on every backend.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv::platform {

class RefCount {
public:
    explicit RefCount(int32_t initial = 0) : n_(initial) {}
    int32_t Increment() { return n_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // The count after the decrement; acquire-release so that the object's last user sees every
    // write made through other references before it destroys the object.
    int32_t Decrement() { return n_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    int32_t value() const { return n_.load(std::memory_order_relaxed); }

private:
    std::atomic<int32_t> n_;
};

}  // namespace qv::platform
