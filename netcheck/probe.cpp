#include "netcheck/probe.h"

#include <cctype>
#include <cstdlib>

#include "platform/process.h"

namespace qv::net {

std::string ClientDatabaseName(const std::string& name) {
    const bool drive_path = name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' &&
                            (name[2] == '\\' || name[2] == '/');
    return drive_path ? "127.0.0.1:" + name : name;
}

ProbeResult ProbeInChildProcess(const std::string& database_name, std::chrono::milliseconds deadline) {
    if (deadline.count() <= 0) {
        const char* text = std::getenv("QV_PROBE_TIMEOUT_MS");
        const long ms = text ? std::strtol(text, nullptr, 10) : 0;
        deadline = std::chrono::milliseconds(ms > 0 ? ms : 5000);
    }
    auto child = platform::ChildProcess::Start(platform::ProgramDirectory() + "netcheck-probe", {database_name});
    if (!child) return ProbeResult::kFailed;
    const auto code = child->Wait(static_cast<int>(deadline.count()));
    if (!code) {
        child->Kill();
        return ProbeResult::kFailed;
    }
    switch (*code) {
        case 0: return ProbeResult::kConnected;
        case 2: return ProbeResult::kConnectedThenDisconnectFailed;
        default: return ProbeResult::kFailed;
    }
}

}  // namespace qv::net
