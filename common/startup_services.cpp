#include "common/startup_services.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/debug_output.h"
#include "platform/filesystem.h"

namespace qv::startup {

namespace {
bool CategoryEnabled(uint32_t category) {
    const char* mask = std::getenv("QV_TRACE_MASK");
    if (!mask || !*mask) return true;
    return (std::strtoul(mask, nullptr, 16) & category) != 0;
}
}  // namespace

void TraceMessage(uint32_t category, const char* format, ...) {
    if (!format || !CategoryEnabled(category)) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::string line(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(line.data(), line.size(), format, args);
        line.resize(static_cast<size_t>(n));
        platform::WriteTraceLine(category, line);
    }
    va_end(args);
}

void ReportProblem(int, uint32_t event_code, int count, const char* const* messages, int last) {
    if (!messages) return;
    for (int i = 0; i < count; ++i)
        if (messages[i]) platform::WriteProblemReport(event_code, messages[i], last);
}

void* ResolveProcedure(platform::ModuleHandle module, const char* name) {
    return platform::FindProcedure(module, name);
}

int CreateDirectoryPath(const char* path) {
    return path && platform::CreateDirectoryPath(path) ? 1 : 0;
}

int HasGlobalNamespace() { return platform::HasGlobalNamespace() ? 1 : 0; }

const platform::SharedObjectSecurity* GetSharedObjectSecurity() {
    return platform::GetSharedObjectSecurity();
}

}  // namespace qv::startup
