// Where the libraries' diagnostics go: bare debugger texts, trace lines and problem reports.
//
// POSIX: each kind is appended to the file named by an environment variable (QV_DEBUG_FILE,
// QV_TRACE_FILE, QV_REPORT_FILE), or written to stderr when the variable is unset.
// Windows: the debugger output and the event log; the same variables, when set, also receive a
// copy, so that tests under an emulator can read them.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::platform {

// The text exactly as given, no line end added (what OutputDebugStringA receives).
void WriteDebugText(std::string_view text);

// One formatted trace line with its category mask.
void WriteTraceLine(uint32_t category, std::string_view line);

// A problem report: its event code and message; `error_type` selects an error (1) or a warning (0).
void WriteProblemReport(uint32_t event_code, std::string_view message, int error_type);

}  // namespace qv::platform
