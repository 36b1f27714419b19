// The services of the start-up library that both libraries lean on: trace lines, problem
// reports, routine look-up, directory creation and the rules for named kernel objects.
//
// Each routine is bound directly to the platform layer; there is no guarded announcement.
#pragma once

#include <cstdint>

#include "platform/dynamic_library.h"
#include "platform/object_security.h"

namespace qv::startup {

// Category masks of trace lines.
inline constexpr uint32_t kTraceLoad = 0x10000;         // successful loads and releases
inline constexpr uint32_t kTraceNotable = 0x10000000;  // failures and notable events

// Event code of every problem report of the system.
inline constexpr uint32_t kProblemEventCode = 0xC0001391u;

// Writes one trace line. Lines whose category shares no bit with the mask in the environment
// variable QV_TRACE_MASK (hexadecimal; all categories when unset) are dropped.
void TraceMessage(uint32_t category, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Delivers `count` message texts as one problem report each. `kind` is always 1, `last` is 1 for
// an error and 0 for a warning.
void ReportProblem(int kind, uint32_t event_code, int count, const char* const* messages, int last);

// The routine's address in the module, or null when it has none.
void* ResolveProcedure(platform::ModuleHandle module, const char* name);

// Non-zero when the directory exists afterwards, missing parents included.
int CreateDirectoryPath(const char* path);

// Non-zero: names of kernel objects take the prefix "Global\\".
int HasGlobalNamespace();

const platform::SharedObjectSecurity* GetSharedObjectSecurity();

}  // namespace qv::startup
