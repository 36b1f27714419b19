// The check's system on Windows: the registry keys themselves (opened for reading), the tool
// help process list, the system's ping and netstat (their output as it is), the services file
// candidates of the check.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "netcheck/local_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system_info.h"

namespace qv::net {

namespace {
std::vector<std::string> OutputOf(const std::string& program, const std::vector<std::string>& args) {
    auto child = platform::ChildProcess::Start(program, args);
    if (!child) throw CheckError("Cannot open file \"c:\\scan.txt\". The system cannot find the file specified");
    std::vector<std::string> lines;
    while (auto line = child->ReadLine(60000)) lines.push_back(*line);
    if (!child->Wait(2000)) child->Kill();
    return lines;
}
}  // namespace

bool LocalSystem::OpenServerKey(const std::string& key) { return platform::LocalMachineKeyOpens(key); }

ProcessList LocalSystem::Processes() { return {false, platform::RunningExecutables()}; }

std::string LocalSystem::ComputerName() { return platform::ComputerName(); }

std::vector<std::string> LocalSystem::PingOutput(const std::string& host) {
    // The host is an argument of its own: no command interpreter reads it.
    if (!host.empty() && host[0] == '-') return PingReport(host, PingMeasurement{});
    return OutputOf("ping", {host});
}

std::vector<std::string> LocalSystem::NetstatOutput() { return OutputOf("netstat", {"-a"}); }

std::vector<std::string> LocalSystem::ServicesCandidates() {
    return {"c:\\winnt\\system32\\drivers\\etc\\services", "c:\\windows\\system32\\drivers\\etc\\services",
            "c:\\windows\\services"};
}

bool LocalSystem::FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::vector<std::string> LocalSystem::ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CheckError("Cannot open file \"" + path + "\". The system cannot find the file specified");
    return SplitLines(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

void LocalSystem::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    // Written beside the file and moved over it: the file is never lost or cut.
    const std::string temp = path + ".netcheck-new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) out << line << "\r\n";
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            throw CheckError("Cannot create file \"" + path + "\". Access is denied");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw CheckError("Cannot create file \"" + path + "\". Access is denied");
    }
}

}  // namespace qv::net
