#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/process.h"

extern char** environ;

namespace qv::platform {

namespace {

class PosixChild final : public ChildProcess {
public:
    PosixChild(pid_t pid, int out) : pid_(pid), out_(out) {}
    ~PosixChild() override {
        if (!exited_) {
            Kill();
            Wait(5000);
        }
        ::close(out_);
    }

    std::optional<std::string> ReadLine(int timeout_ms) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            if (auto line = TakeLine(buffer_)) return line;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0 || eof_) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            const int rc = ::poll(&p, 1, static_cast<int>(left));
            if (rc < 0 && errno == EINTR) continue;
            if (rc <= 0) return std::nullopt;
            char chunk[4096];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                eof_ = true;
                continue;
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    std::optional<int> Wait(int timeout_ms) override {
        if (exited_) return code_;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exited_ = true;
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return code_;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            ::usleep(2000);
        }
    }

    void Kill() override {
        if (!exited_) ::kill(pid_, SIGKILL);
    }

private:
    pid_t pid_;
    int out_;
    std::string buffer_;
    bool eof_ = false;
    bool exited_ = false;
    int code_ = -1;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return nullptr;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    // A bare program name is looked up in PATH; the arguments go to it as they are, no shell between.
    const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (rc != 0) {
        ::close(pipe_fds[0]);
        return nullptr;
    }
    return std::make_unique<PosixChild>(pid, pipe_fds[0]);
}

std::string ProgramDirectory() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

}  // namespace qv::platform
