#include "qvcommdb/module.h"

#include <atomic>

namespace qv::db {

namespace {
std::atomic<LONG> g_object_count{0};
}

void ModuleAddRef() { g_object_count.fetch_add(1, std::memory_order_relaxed); }
void ModuleRelease() { g_object_count.fetch_sub(1, std::memory_order_acq_rel); }
LONG ModuleObjectCount() { return g_object_count.load(std::memory_order_acquire); }

}  // namespace qv::db
