// A process-wide count of changes to the content of any tree: names, texts, nodes and values
// made or removed, nodes deleted. A manager that finds the count where it left it, and the store
// file holding the bytes it last loaded or saved, knows that loading the file again would change
// nothing and skips it.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv::db {

inline std::atomic<uint64_t> g_tree_generation{0};

inline void TreeChanged() { g_tree_generation.fetch_add(1, std::memory_order_relaxed); }
inline uint64_t TreeGeneration() { return g_tree_generation.load(std::memory_order_relaxed); }

// A 64-bit digest of a store file's bytes, to recognise the same content again.
uint64_t ContentDigest(const char* data, size_t size);

}  // namespace qv::db
