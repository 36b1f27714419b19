// Child processes: started with arguments that no shell or command interpreter reads, with
// their standard output readable line by line, waited for with a deadline, or killed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

class ChildProcess {
public:
    // Starts `program` with `args`; null when it cannot be started.
    static std::unique_ptr<ChildProcess> Start(const std::string& program, const std::vector<std::string>& args);
    virtual ~ChildProcess() = default;

    // The next line of the child's standard output without its line end, or nothing when the
    // output ends or `timeout_ms` passes first.
    virtual std::optional<std::string> ReadLine(int timeout_ms) = 0;
    // The exit code, or nothing when the child is still running after `timeout_ms`.
    virtual std::optional<int> Wait(int timeout_ms) = 0;
    // Ends the child at once, as SIGKILL or TerminateProcess do.
    virtual void Kill() = 0;
};

// Takes the first whole line out of `buffer`, without its line end (LF or CR LF).
inline std::optional<std::string> TakeLine(std::string& buffer) {
    const size_t nl = buffer.find('\n');
    if (nl == std::string::npos) return std::nullopt;
    std::string line = buffer.substr(0, nl);
    buffer.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The directory of the running program, with its separator at the end.
std::string ProgramDirectory();

}  // namespace qv::platform
