#include <cstdio>
#include <string>

#include "platform/debug_output.h"
#include "platform/debug_output_common.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

void WriteDebugText(std::string_view text) {
    std::string s(text);
    OutputDebugStringA(s.c_str());
    detail::AppendToCaptureFile("QV_DEBUG_FILE", text);
}

void WriteTraceLine(uint32_t, std::string_view line) {
    std::string s(line);
    OutputDebugStringA(s.c_str());
    detail::AppendToCaptureFile("QV_TRACE_FILE", line);
}

void WriteProblemReport(uint32_t event_code, std::string_view message, int error_type) {
    std::string text(message);
    if (HANDLE source = RegisterEventSourceA(nullptr, "QVCommDB")) {
        const char* strings[1] = {text.c_str()};
        ReportEventA(source, error_type ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE, 0, event_code,
                     nullptr, 1, 0, strings, nullptr);
        DeregisterEventSource(source);
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X ", static_cast<unsigned>(event_code));
    detail::AppendToCaptureFile("QV_REPORT_FILE", std::string(code) + text + "\n");
}

}  // namespace qv::platform
