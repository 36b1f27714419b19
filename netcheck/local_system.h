// The check's view of this computer: the database server's installation and processes, ping and
// netstat in the shape the check reads, the services file. On Linux ping and netstat are answered
// from real measurements (local_system_posix.cpp); on Windows they are the system's commands
// and the installation is the registry keys themselves (local_system_win32.cpp). Database probes
// are handed to a prober given by the caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "netcheck/check.h"

namespace qv::net {

// What one run of the system's ping measured.
struct PingMeasurement {
    bool resolved = false;
    std::string address;
    int sent = 0, received = 0;
    std::vector<double> times_ms;
    int ttl = 0;
};

// Reads the output of "ping -n -c N host".
PingMeasurement ParseLinuxPing(const std::vector<std::string>& lines);
// The lines the check reads: an answered ping gives more than 10 lines, the third holding the
// address between "[" and "]"; an unanswered one gives 10, an unknown host one.
std::vector<std::string> PingReport(const std::string& host, const PingMeasurement& m);

// The local ports of the listening TCP sockets in the text of /proc/net/tcp or /proc/net/tcp6.
std::vector<int> ListeningPorts(const std::string& proc_net_tcp);
// "netstat -a" lines for those ports, each naming the port by all its service names.
std::vector<std::string> NetstatReport(const std::vector<int>& ports);

class LocalSystem final : public CheckSystem {
public:
    using Prober = std::function<ProbeResult(const std::string& database_name)>;
    explicit LocalSystem(Prober prober) : prober_(std::move(prober)) {}

    bool OpenServerKey(const std::string& key) override;
    ProcessList Processes() override;
    std::string ComputerName() override;
    std::vector<std::string> PingOutput(const std::string& host) override;
    std::vector<std::string> NetstatOutput() override;
    std::vector<std::string> ServicesCandidates() override;
    bool FileExists(const std::string& path) override;
    std::vector<std::string> ReadLines(const std::string& path) override;
    void WriteLines(const std::string& path, const std::vector<std::string>& lines) override;
    ProbeResult ProbeDatabase(const std::string& database_name) override { return prober_(database_name); }

private:
    Prober prober_;
};

// Lines of a text with CR, LF or CR LF as breaks; a break at the very end starts no line.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace qv::net
