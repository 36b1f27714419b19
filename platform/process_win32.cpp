#include <chrono>

#include "platform/process.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

namespace {

// Quotes one argument the way the C run time splits a command line.
std::string QuoteArgument(const std::string& a) {
    if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : a) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') out.append(backslashes * 2 + 1, '\\');
        else out.append(backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

class Win32Child final : public ChildProcess {
public:
    Win32Child(HANDLE process, HANDLE out) : process_(process), out_(out) {}
    ~Win32Child() override {
        if (!Wait(0)) {
            Kill();
            Wait(5000);
        }
        CloseHandle(out_);
        CloseHandle(process_);
    }

    std::optional<std::string> ReadLine(int timeout_ms) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            if (auto line = TakeLine(buffer_)) return line;
            if (eof_ || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            DWORD available = 0;
            if (!PeekNamedPipe(out_, nullptr, 0, nullptr, &available, nullptr)) {
                eof_ = true;
                continue;
            }
            if (available == 0) {
                Sleep(2);
                continue;
            }
            char chunk[4096];
            DWORD n = 0;
            if (!ReadFile(out_, chunk, available < sizeof chunk ? available : sizeof chunk, &n, nullptr) || n == 0) {
                eof_ = true;
                continue;
            }
            buffer_.append(chunk, n);
        }
    }

    std::optional<int> Wait(int timeout_ms) override {
        if (WaitForSingleObject(process_, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return static_cast<int>(code);
    }

    void Kill() override { TerminateProcess(process_, 137); }

private:
    HANDLE process_;
    HANDLE out_;
    std::string buffer_;
    bool eof_ = false;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &sa, 0)) return nullptr;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    std::string command = QuoteArgument(program);
    for (const auto& a : args) {
        command.push_back(' ');
        command.append(QuoteArgument(a));
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write_end;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(write_end);
    if (!ok) {
        CloseHandle(read_end);
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return std::make_unique<Win32Child>(pi.hProcess, read_end);
}

std::string ProgramDirectory() {
    char buf[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string path(buf, n);
    return path.substr(0, path.find_last_of("\\/") + 1);
}

}  // namespace qv::platform
