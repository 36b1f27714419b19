#include <cstdio>
#include <string>

#include "platform/debug_output.h"
#include "platform/debug_output_common.h"

namespace qv::platform {

namespace {
void ToStderr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
}  // namespace

void WriteDebugText(std::string_view text) {
    if (!detail::AppendToCaptureFile("QV_DEBUG_FILE", text)) ToStderr(text);
}

void WriteTraceLine(uint32_t, std::string_view line) {
    if (!detail::AppendToCaptureFile("QV_TRACE_FILE", line)) ToStderr(line);
}

void WriteProblemReport(uint32_t event_code, std::string_view message, int) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X ", static_cast<unsigned>(event_code));
    std::string line = code;
    line.append(message);
    line.push_back('\n');
    if (!detail::AppendToCaptureFile("QV_REPORT_FILE", line)) ToStderr(line);
}

}  // namespace qv::platform
