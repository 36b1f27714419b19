#include "platform/system_info.h"
#include "qvcomm/com_types.h"

#include <tlhelp32.h>

namespace qv::platform {

std::string ComputerName() {
    char name[16] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

std::vector<std::string> ServiceNamesOfTcpPort(int) { return {}; }

std::vector<std::string> RunningExecutables() {
    std::vector<std::string> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return names;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry))
        names.push_back(entry.szExeFile);
    CloseHandle(snapshot);
    return names;
}

}  // namespace qv::platform
