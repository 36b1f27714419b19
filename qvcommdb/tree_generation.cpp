#include "qvcommdb/tree_generation.h"

#include <cstring>

namespace qv::db {

namespace {
constexpr uint64_t kMul1 = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kMul2 = 0xC2B2AE3D27D4EB4Full;

inline uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= kMul2;
    h ^= h >> 29;
    h *= kMul1;
    h ^= h >> 32;
    return h;
}
}  // namespace

uint64_t ContentDigest(const char* data, size_t size) {
    // Four independent lanes over 32-byte blocks, then the tail; each word is multiplied in so
    // that every input bit reaches the whole lane.
    uint64_t lane[4] = {kMul1 ^ size, kMul2, kMul1 * 3, kMul2 * 5};
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int k = 0; k < 4; ++k) {
            uint64_t w;
            std::memcpy(&w, data + i + 8 * k, 8);
            lane[k] = (lane[k] ^ (w * kMul2)) * kMul1;
            lane[k] ^= lane[k] >> 31;
        }
    }
    uint64_t h = Mix(lane[0]) ^ (Mix(lane[1]) * 3) ^ (Mix(lane[2]) * 5) ^ (Mix(lane[3]) * 7);
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, data + i, 8);
        h = Mix(h ^ (w * kMul1));
    }
    uint64_t tail = 0;
    if (i < size) std::memcpy(&tail, data + i, size - i);
    return Mix(h ^ Mix(tail ^ (static_cast<uint64_t>(size - i) << 56)));
}

}  // namespace qv::db
