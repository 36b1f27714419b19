#include "netcheck/local_system.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/process.h"
#include "platform/system_info.h"

namespace qv::net {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

PingMeasurement ParseLinuxPing(const std::vector<std::string>& lines) {
    PingMeasurement m;
    for (const std::string& line : lines) {
        // "PING host (1.2.3.4) 56(84) bytes of data."
        if (line.rfind("PING ", 0) == 0) {
            const size_t open = line.find('('), close = line.find(')');
            if (open != std::string::npos && close != std::string::npos && close > open) {
                m.resolved = true;
                m.address = line.substr(open + 1, close - open - 1);
            }
        }
        // "64 bytes from 1.2.3.4: icmp_seq=1 ttl=64 time=0.045 ms"
        const size_t time = line.find(" time=");
        if (line.find(" bytes from ") != std::string::npos && time != std::string::npos) {
            m.times_ms.push_back(std::atof(line.c_str() + time + 6));
            const size_t ttl = line.find(" ttl=");
            if (ttl != std::string::npos) m.ttl = std::atoi(line.c_str() + ttl + 5);
        }
        // "4 packets transmitted, 4 received, 0% packet loss, time 3060ms"
        if (line.find(" packets transmitted, ") != std::string::npos) {
            m.sent = std::atoi(line.c_str());
            m.received = std::atoi(line.c_str() + line.find(", ") + 2);
        }
    }
    return m;
}

std::vector<std::string> PingReport(const std::string& host, const PingMeasurement& m) {
    if (!m.resolved) return {"Ping request could not find host " + host + ". Please check the name and try again."};
    std::vector<std::string> out = {"", "", "Pinging " + host + " [" + m.address + "] with 56 bytes of data:"};
    char buf[160];
    for (double t : m.times_ms) {
        std::snprintf(buf, sizeof buf, "Reply from %s: bytes=56 time=%.3fms TTL=%d", m.address.c_str(), t, m.ttl);
        out.push_back(buf);
    }
    for (int i = static_cast<int>(m.times_ms.size()); i < m.sent; ++i) out.push_back("Request timed out.");
    out.push_back("");
    out.push_back("Ping statistics for " + m.address + ":");
    const int lost = m.sent - m.received;
    std::snprintf(buf, sizeof buf, "    Packets: Sent = %d, Received = %d, Lost = %d (%d%% loss),", m.sent, m.received,
                  lost, m.sent ? lost * 100 / m.sent : 0);
    out.push_back(buf);
    if (!m.times_ms.empty()) {
        double lo = m.times_ms[0], hi = lo, sum = 0;
        for (double t : m.times_ms) lo = std::min(lo, t), hi = std::max(hi, t), sum += t;
        out.push_back("Approximate round trip times in milli-seconds:");
        std::snprintf(buf, sizeof buf, "    Minimum = %.3fms, Maximum = %.3fms, Average = %.3fms", lo, hi,
                      sum / static_cast<double>(m.times_ms.size()));
        out.push_back(buf);
    }
    return out;
}

std::vector<int> ListeningPorts(const std::string& text) {
    std::vector<int> ports;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        if (!(fields >> slot >> local >> remote >> state) || state != "0A") continue;  // 0A: listening
        const size_t colon = local.rfind(':');
        if (colon == std::string::npos) continue;
        ports.push_back(static_cast<int>(std::strtol(local.c_str() + colon + 1, nullptr, 16)));
    }
    return ports;
}

std::vector<std::string> NetstatReport(const std::vector<int>& ports) {
    std::vector<std::string> out = {"", "Active Connections", "", "  Proto  Local Address          Foreign Address        State"};
    for (int port : ports) {
        std::string name = std::to_string(port);
        const std::vector<std::string> names = platform::ServiceNamesOfTcpPort(port);
        if (!names.empty()) {
            name = names[0];
            for (size_t i = 1; i < names.size(); ++i) name += "/" + names[i];
        }
        out.push_back("  TCP    0.0.0.0:" + name + "    0.0.0.0:0    LISTENING");
    }
    return out;
}

}  // namespace qv::net
