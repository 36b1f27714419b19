// Facts about this computer and its network names.
#pragma once

#include <string>
#include <vector>

namespace qv::platform {

// The computer's name, at most 15 characters.
std::string ComputerName();

// The names of a TCP port in the services database: its name first, then its aliases (none when
// the port has no entry).
std::vector<std::string> ServiceNamesOfTcpPort(int port);

// The executable file names of the running processes.
std::vector<std::string> RunningExecutables();

}  // namespace qv::platform
