// Database probes of netcheck: one connection attempt, in a process of its own with a deadline,
// so that no attempt holds the window for minutes.
#pragma once

#include <chrono>
#include <string>

#include "netcheck/check.h"

namespace qv::net {

// The connection parameters every probe uses.
inline constexpr char kProbeUser[] = "sysdba";
inline constexpr char kProbePassword[] = "gulpatern";
inline constexpr char kProbeCharset[] = "WIN1254";
inline constexpr int kProbeDialect = 3;

// The name the database client is given for a probe's database name: a bare drive-letter path
// ("c:\\ders\\x.gdb") means the server on this computer, reached over loopback; "HOST:path" goes
// to that host.
std::string ClientDatabaseName(const std::string& database_name);

// Runs "netcheck-probe NAME" beside the program and waits for it up to `deadline`
// (QV_PROBE_TIMEOUT_MS, 5000 ms by default, when zero).
ProbeResult ProbeInChildProcess(const std::string& database_name,
                                std::chrono::milliseconds deadline = std::chrono::milliseconds(0));

}  // namespace qv::net
