// termbackup-cli: the backup tool without its window, for scheduled backups.
//
//   termbackup-cli (--tcp HOST:PORT | --serial COMn [--baud N]) [--machine N] [--password N]
//                  (backup-users FILE | restore-users FILE | backup-data FILE | restore-data FILE | info)
//
// It connects as the window does, runs the operation, disconnects, and writes the same status
// lines to standard output. The exit status is 0 on success, 1 when the connection or the
// operation failed, 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "termbackup/backup_tool.h"
#include "termbackup/terminal_client.h"

using namespace qv::term;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: termbackup-cli (--tcp HOST:PORT | --serial COMn [--baud N]) [--machine N] [--password N]\n"
                 "                      (backup-users FILE | restore-users FILE | backup-data FILE |\n"
                 "                       restore-data FILE | info)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string tcp, serial, baud = "115200", machine = "1", password, operation, file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--tcp") tcp = value();
        else if (a == "--serial") serial = value();
        else if (a == "--baud") baud = value();
        else if (a == "--machine") machine = value();
        else if (a == "--password") password = value();
        else if (operation.empty()) operation = a;
        else if (file.empty()) file = a;
        else return Usage();
    }
    if (tcp.empty() == serial.empty() || operation.empty()) return Usage();
    const bool needs_file = operation != "info";
    if (needs_file == file.empty()) return Usage();
    if (operation != "info" && operation != "backup-users" && operation != "restore-users" &&
        operation != "backup-data" && operation != "restore-data")
        return Usage();

    // The fields of the window: address and port for TCP/IP, port name and machine for serial.
    std::string address, port;
    if (!tcp.empty()) {
        const auto colon = tcp.rfind(':');
        if (colon == std::string::npos) return Usage();
        address = tcp.substr(0, colon);
        port = tcp.substr(colon + 1);
    } else {
        address = serial;
        port = machine;
    }
    TerminalControl control;
    BackupTool tool(control, [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    });
    try {
        if (!tool.ConnectClick(address, port, baud, password)) return 1;
        bool ok = true;
        if (operation == "backup-users") ok = tool.BackupUsers(file);
        else if (operation == "restore-users") ok = tool.RestoreUsers(file);
        else if (operation == "backup-data") ok = tool.BackupData(file);
        else if (operation == "restore-data") ok = tool.RestoreData(file);
        if (operation == "backup-users" && !ok) std::printf("! ReadAllUsers ErrorNo.=%d\n", [&] {
            int32_t code = 0;
            control.GetLastErrorCode(&code);
            return code;
        }());
        tool.ConnectClick(address, port, baud, password);  // disconnects
        return ok ? 0 : 1;
    } catch (const ToolError& e) {
        std::fprintf(stderr, "%s\n", ErrorBoxText(e.what()).c_str());
        return 1;
    }
}
