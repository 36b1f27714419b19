#include <arpa/inet.h>
#include <dirent.h>
#include <netdb.h>
#include <unistd.h>

#include <cctype>
#include <fstream>

#include "platform/system_info.h"

namespace qv::platform {

std::string ComputerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    std::string s(name);
    return s.substr(0, 15);
}

std::vector<std::string> ServiceNamesOfTcpPort(int port) {
    std::vector<std::string> names;
    servent entry{};
    servent* found = nullptr;
    char buffer[4096];
    if (::getservbyport_r(htons(static_cast<uint16_t>(port)), "tcp", &entry, buffer, sizeof buffer, &found) != 0 ||
        !found)
        return names;
    names.push_back(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias) names.push_back(*alias);
    return names;
}

std::vector<std::string> RunningExecutables() {
    std::vector<std::string> names;
    DIR* proc = ::opendir("/proc");
    if (!proc) return names;
    while (const dirent* e = ::readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
        // The executable's file name; a process whose link cannot be read gives its command name.
        char target[4096];
        const std::string dir = std::string("/proc/") + e->d_name;
        const ssize_t n = ::readlink((dir + "/exe").c_str(), target, sizeof target - 1);
        if (n > 0) {
            std::string path(target, static_cast<size_t>(n));
            const auto deleted = path.find(" (deleted)");
            if (deleted != std::string::npos) path.resize(deleted);
            names.push_back(path.substr(path.find_last_of('/') + 1));
            continue;
        }
        std::ifstream comm(dir + "/comm");
        std::string name;
        if (std::getline(comm, name) && !name.empty()) names.push_back(name);
    }
    ::closedir(proc);
    return names;
}

}  // namespace qv::platform
