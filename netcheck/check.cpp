#include "netcheck/check.h"

#include <cctype>

namespace qv::net {

namespace {

// Upper case of the ASCII letters; the names and the marker looked for are ASCII.
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

const char kNotInstalledReport[] =
    "Interbase veya FireBird Program\xC4\xB1 kurulmam\xC4\xB1\xC5\x9F. L\xC3\xBCtfen KOVI cd sinden Interbase60 veya "
    "FireBird program\xC4\xB1n\xC4\xB1 kurunuz";
const char kNotInstalledError[] =
    "Interbase veya FireBird Program\xC4\xB1 kurulmam\xC4\xB1\xC5\x9F.\nL\xC3\xBCtfen KOVI cd sinden Interbase60 veya "
    "FireBird program\xC4\xB1n\xC4\xB1 kurunuz\n Daha sonra bu program\xC4\xB1 tekrar \xC3\xA7\x61l\xC4\xB1\xC5\x9Ft\xC4\xB1r\xC4\xB1n...";
const char kNotRunningReport[] =
    "HATA:Veritaban\xC4\xB1 sunucusu a\xC3\xA7\xC4\xB1lam\xC4\xB1yor. Denetim masas\xC4\xB1ndan Firebird server manager "
    "veya interbase manager program\xC4\xB1n\xC4\xB1 \xC3\xA7\x61l\xC4\xB1\xC5\x9Ft\xC4\xB1r\xC4\xB1p start butonuna "
    "bas\xC4\xB1n ";
const char kNotRunningMessage[] =
    "HATA:Veritaban\xC4\xB1 sunucusu a\xC3\xA7\xC4\xB1lam\xC4\xB1yor. Denetim masas\xC4\xB1ndan Firebird server manager "
    "veya interbase manager program\xC4\xB1n\xC4\xB1 \xC3\xA7\x61l\xC4\xB1\xC5\x9Ft\xC4\xB1r\xC4\xB1p start butonuna "
    "bas\xC4\xB1n.\nTekrar kontrol butonuna bas\xC4\xB1n";
const char kFirstEntryFailed[] = "processler ilk kayda al\xC4\xB1namad\xC4\xB1";
const char kTcpPrefix[] = "TCP/IP ba\xC4\x9Flant\xC4\xB1s\xC4\xB1 ";
const char kTcpFailedSuffix[] =
    " bilgisayar\xC4\xB1 sa\xC4\x9Flanamad\xC4\xB1. L\xC3\xBCtfen bilgisayar sat\xC4\xB1\x63\xC4\xB1n\xC4\xB1zla "
    "ba\xC4\x9Flant\xC4\xB1ya ge\xC3\xA7iniz\n A\xC4\x9F ayar\xC4\xB1 yap\xC4\xB1ld\xC4\xB1ktan sonra bu "
    "program\xC4\xB1 tekrar \xC3\xA7\x61l\xC4\xB1\xC5\x9Ft\xC4\xB1r\xC4\xB1n...";
const char kTcpOkMiddle[] = " bilgisayar\xC4\xB1 ile [";
const char kTcpOkSuffix[] = "] IP adresinden sa\xC4\x9Fland\xC4\xB1";
const char kPortOpen[] = "Veritaban\xC4\xB1 portu a\xC3\xA7\xC4\xB1k";
const char kPortClosed[] = "HATA:Veritaban\xC4\xB1 portu kapal\xC4\xB1... a\xC3\xA7\xC4\xB1lmaya \xC3\xA7\x61l\xC4\xB1\xC5\x9F\xC4\xB1lacak";
const char kRestartMessage[] =
    "L\xC3\xBCtfen bilgisayar\xC4\xB1n\xC4\xB1z\xC4\xB1 kapat\xC4\xB1p tekrar a\xC3\xA7\xC4\xB1n\xC4\xB1z\n"
    "Bilgisayar\xC4\xB1n\xC4\xB1z\xC4\xB1 a\xC3\xA7t\xC4\xB1ktan sonra bu program\xC4\xB1 tekrar "
    "\xC3\xA7\x61l\xC4\xB1\xC5\x9Ft\xC4\xB1r\xC4\xB1n";

void Probe(CheckSystem& system, CheckUi& ui, const std::string& host, const char* path, const char* ok,
           const char* failed) {
    std::string name;
    if (!host.empty()) name = host + ":";
    name += path;
    switch (system.ProbeDatabase(name)) {
        case ProbeResult::kConnected: ui.Report(ok); break;
        case ProbeResult::kConnectedThenDisconnectFailed:
            ui.Report(ok);
            ui.Report(failed);
            break;
        case ProbeResult::kFailed: ui.Report(failed); break;
    }
}

}  // namespace

std::string AddressIn(const std::string& line) {
    const size_t open = line.find('['), close = line.find(']');
    const long p = open == std::string::npos ? 0 : static_cast<long>(open) + 1;  // 1-based, 0 when none
    const long q = close == std::string::npos ? 0 : static_cast<long>(close) + 1;
    const long count = q - p - 1;
    if (count < 1 || p + 1 > static_cast<long>(line.size())) return {};
    return line.substr(static_cast<size_t>(p), static_cast<size_t>(count));  // cut at the end
}

void RunCheck(CheckSystem& system, CheckUi& ui, const std::string& host) {
    ui.ClearReport();
    // Server installed.
    if (!system.OpenServerKey(kFirebirdKey) && !system.OpenServerKey(kInterBaseKey)) {
        ui.Report(kNotInstalledReport);
        throw CheckError(kNotInstalledError);
    }
    // Server running: every process is visited; a name that holds one of the four counts.
    ProcessList processes = system.Processes();
    if (processes.first_entry_failed) ui.ShowMessage(kFirstEntryFailed, "Hata");
    bool running = false;
    for (const std::string& exe : processes.executables) {
        const std::string upper = Upper(exe);
        for (const char* name : kServerProcesses)
            if (upper.find(name) != std::string::npos) running = true;
    }
    if (!running) {
        ui.Report(kNotRunningReport);
        ui.ShowMessage(kNotRunningMessage);
        return;
    }
    // Ping.
    const std::string ping_host = host.empty() ? system.ComputerName() : host;
    const std::vector<std::string> ping = system.PingOutput(ping_host);
    ui.ScratchLines(ping);
    const std::string third = ping.size() >= 3 ? ping[2] : std::string();
    ui.ScratchText(third);
    const std::string address = AddressIn(third);
    ui.ScratchText(address);
    if (ping.size() < kLeastPingLines) {
        ui.Report(kTcpPrefix + host + kTcpFailedSuffix);
        return;
    }
    ui.Report(kTcpPrefix + host + kTcpOkMiddle + address + kTcpOkSuffix);
    // Port.
    bool port_found = false;
    const std::vector<std::string> netstat = system.NetstatOutput();
    ui.ScratchLines(netstat);
    for (const std::string& line : netstat) {
        if (Upper(line).find(kPortMarker) != std::string::npos) {
            ui.Report(kPortOpen);
            port_found = true;
            break;
        }
    }
    if (!port_found) {
        ui.Report(kPortClosed);
        std::string services;
        for (const std::string& candidate : system.ServicesCandidates())
            if (system.FileExists(candidate)) services = candidate;  // the last one that exists
        if (services.empty()) throw CheckError("Cannot open file \"\". No such file or directory");
        std::vector<std::string> lines = system.ReadLines(services);
        lines.push_back(kServicesLine);
        ui.ScratchLines(lines);
        system.WriteLines(services, lines);
        ui.ShowMessage(kRestartMessage);
        return;
    }
    // The two databases, the second whatever the first gave.
    Probe(system, ui, host, kFirstDatabase, "Dershane.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Fland\xC4\xB1",
          "HATA:Dershane.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Flanamad\xC4\xB1");
    Probe(system, ui, host, kSecondDatabase, "Smart.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Fland\xC4\xB1",
          "HATA:Smart.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Flanamad\xC4\xB1");
}

}  // namespace qv::net
