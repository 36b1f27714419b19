// The connectivity and database check of netcheck ("Kontrol et"), free of any window toolkit.
//
// The check meets the system through CheckSystem and the user through CheckUi, so that each
// step runs against fakes in a unit test and against the real backends in the program. Texts
// are the narrow texts of the system (UTF-8 on Linux).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::net {

// An error that ends a handler; its text goes to the application's error box.
class CheckError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a database probe (connect, then disconnect) came to.
enum class ProbeResult { kFailed, kConnected, kConnectedThenDisconnectFailed };

struct ProcessList {
    bool first_entry_failed = false;
    std::vector<std::string> executables;  // file names of the running processes
};

class CheckSystem {
public:
    virtual ~CheckSystem() = default;
    // Whether the key of the database server's installation opens for reading.
    virtual bool OpenServerKey(const std::string& key) = 0;
    virtual ProcessList Processes() = 0;
    // The local computer's name, at most 15 characters.
    virtual std::string ComputerName() = 0;
    // The output lines of the ping of `host` and of "netstat -a"; CheckError when the output
    // cannot be read.
    virtual std::vector<std::string> PingOutput(const std::string& host) = 0;
    virtual std::vector<std::string> NetstatOutput() = 0;
    // The services file candidates in their order, and the file operations on them.
    virtual std::vector<std::string> ServicesCandidates() = 0;
    virtual bool FileExists(const std::string& path) = 0;
    virtual std::vector<std::string> ReadLines(const std::string& path) = 0;
    // Replaces the file's content with the lines, each ended by the system's line end (CR LF on
    // Windows); CheckError on failure, and the file stays as it was.
    virtual void WriteLines(const std::string& path, const std::vector<std::string>& lines) = 0;
    virtual ProbeResult ProbeDatabase(const std::string& database_name) = 0;
};

class CheckUi {
public:
    virtual ~CheckUi() = default;
    virtual void ClearReport() = 0;
    virtual void Report(const std::string& line) = 0;
    // A modal message box with the application's title, or with `caption` when one is given.
    virtual void ShowMessage(const std::string& text, const std::string& caption = {}) = 0;
    // The scratch of the window: the lines of the last command output (or of the services file
    // being patched), and the third ping line and then the address.
    virtual void ScratchLines(const std::vector<std::string>&) {}
    virtual void ScratchText(const std::string&) {}
};

// Fixed values of the check.
inline constexpr const char* kFirebirdKey = "SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
inline constexpr const char* kInterBaseKey = "Software\\Borland\\InterBase\\CurrentVersion";
// The server's process names: those of Windows, and those under which a Linux Firebird server
// runs ("firebird" for the combined server, "fb_inet_server" and "fb_smp_server" of older ones).
inline constexpr const char* kServerProcesses[] = {"IBSERVER", "IBGUARD", "FBSERVER", "FBGUARD",
                                                   "FIREBIRD", "FB_INET_SERVER", "FB_SMP_SERVER"};
inline constexpr size_t kLeastPingLines = 11;
inline constexpr const char* kPortMarker = "GDS_DB";
inline constexpr const char* kServicesLine = "gds_db           3050/tcp                  ";
inline constexpr const char* kFirstDatabase = "c:\\ders\\dershane.gdb";
inline constexpr const char* kSecondDatabase = "c:\\ders\\smart.gdb";

// The address between the first "[" and the first "]" of a ping output line.
std::string AddressIn(const std::string& line);

// Button1Click: the whole check for the computer in the host field (the local one when empty).
void RunCheck(CheckSystem& system, CheckUi& ui, const std::string& host);

}  // namespace qv::net
