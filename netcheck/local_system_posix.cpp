// The check's system on Linux.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "netcheck/local_system.h"
#include "platform/process.h"
#include "platform/system_info.h"

namespace qv::net {

bool LocalSystem::OpenServerKey(const std::string& key) {
    // What the installation keys stand for on Linux: the server's files.
    static const char* const kFirebird[] = {"/etc/firebird", "/usr/sbin/firebird", "/opt/firebird"};
    static const char* const kInterBase[] = {"/opt/interbase", "/usr/interbase"};
    const bool firebird = key == kFirebirdKey;
    for (const char* path : firebird ? std::vector<const char*>(std::begin(kFirebird), std::end(kFirebird))
                                     : std::vector<const char*>(std::begin(kInterBase), std::end(kInterBase)))
        if (::access(path, R_OK) == 0) return true;
    return false;
}

ProcessList LocalSystem::Processes() { return {false, platform::RunningExecutables()}; }

std::string LocalSystem::ComputerName() { return platform::ComputerName(); }

std::vector<std::string> LocalSystem::PingOutput(const std::string& host) {
    // The host text comes from the network: it is an argument of its own, never read by a
    // shell, and a text that the command would take for an option is no host.
    if (host.empty() || host[0] == '-') return PingReport(host, PingMeasurement{});
    auto child = platform::ChildProcess::Start("ping", {"-n", "-c", "4", "-W", "2", "--", host});
    if (!child) throw CheckError("ping: the command cannot be started");
    std::vector<std::string> lines;
    while (auto line = child->ReadLine(15000)) lines.push_back(*line);
    if (!child->Wait(2000)) child->Kill();
    return PingReport(host, ParseLinuxPing(lines));
}

std::vector<std::string> LocalSystem::NetstatOutput() {
    std::vector<int> ports;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (int port : ListeningPorts(text)) ports.push_back(port);
    }
    return NetstatReport(ports);
}

std::vector<std::string> LocalSystem::ServicesCandidates() {
    const char* file = std::getenv("QV_SERVICES_FILE");
    return {file && *file ? file : "/etc/services"};
}

bool LocalSystem::FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> LocalSystem::ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CheckError("Cannot open file \"" + path + "\". No such file or directory");
    return SplitLines(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

void LocalSystem::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    // Written beside the file and moved over it, with its permissions: the file is never lost
    // or cut, whatever fails on the way.
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const std::string temp = path + ".netcheck-new";
    {
        // The system's own line ends: the other programs of the computer read this file too.
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) out << line << "\n";
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            throw CheckError("Cannot create file \"" + path + "\". Permission denied");
        }
    }
    ::chmod(temp.c_str(), mode);
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw CheckError("Cannot create file \"" + path + "\". Permission denied");
    }
}

}  // namespace qv::net
