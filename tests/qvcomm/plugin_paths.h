// Where the test plug-ins and the example plug-in are built.
#pragma once

#include <string>

#include "platform/process.h"

namespace qv::test {

inline std::string PluginPath(const std::string& stem) {
#if defined(_WIN32)
    return platform::ProgramDirectory() + stem + ".dll";
#else
    return platform::ProgramDirectory() + "lib" + stem + ".so";
#endif
}

inline std::string TestPlugin(const std::string& kind) { return PluginPath("test_plugin_" + kind); }

}  // namespace qv::test
