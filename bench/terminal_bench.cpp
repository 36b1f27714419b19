// Terminal benchmark: 5,000 users with 10 templates of 2048 bytes each on terminal-sim over
// loopback TCP. User backup and user restore times, each beside the plain transfer of the same
// bytes over the same protocol in messages of the same sizes (the reference): the backup's
// templates come in batches of 64 users, the restore sends one template a message.
// Goal: each at most 1.25 times its reference.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/process.h"
#include "termbackup/backup_tool.h"
#include "termbackup/terminal_client.h"

using namespace qv::term;
using Clock = std::chrono::steady_clock;

namespace {

struct Sim {
    std::unique_ptr<qv::platform::ChildProcess> child;
    int port = 0;
    explicit Sim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", "127.0.0.1:0"});
        child = qv::platform::ChildProcess::Start(qv::platform::ProgramDirectory() + "terminal-sim", args);
        if (auto line = child->ReadLine(60000)) port = std::stoi(line->substr(14));
    }
    ~Sim() { child->Kill(); }
};

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void Row(const char* what, double seconds, double reference) {
    const double ratio = seconds / reference;
    std::printf("%-14s %8.3f s   reference %8.3f s   %5.2f x   goal <= 1.25  %s\n", what, seconds, reference, ratio,
                ratio <= 1.25 ? "ok" : "MISSED");
}

}  // namespace

int main() {
    const int kUsers = 5000, kFingers = 10, kSize = 2048;
    Sim source({"--users", std::to_string(kUsers), "--templates-per-user", std::to_string(kFingers), "--template-size",
                std::to_string(kSize)});
    Sim target({});
    const auto dir = std::filesystem::temp_directory_path() / ("terminal-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "yedek.dat").string();

    TerminalControl a, b;
    BackupTool from(a, [](const std::string&) {}), to(b, [](const std::string&) {});
    from.ConnectClick("127.0.0.1", std::to_string(source.port), "", "");
    to.ConnectClick("127.0.0.1", std::to_string(target.port), "", "");

    auto t0 = Clock::now();
    if (!from.BackupUsers(file)) return 1;
    const double backup = Seconds(t0);
    t0 = Clock::now();
    if (!to.RestoreUsers(file)) return 1;
    const double restore = Seconds(t0);

    // The same bytes, plainly: batches of 64 users' templates from the terminal, one template
    // a message to it.
    const uint32_t batch = 64 * kFingers * kSize;
    const long total = static_cast<long>(kUsers) * kFingers * kSize;
    std::vector<uint8_t> bytes;
    t0 = Clock::now();
    for (long done = 0; done < total; done += batch)
        a.Fetch(static_cast<uint32_t>(std::min<long>(batch, total - done)), &bytes);
    const double fetch = Seconds(t0);
    const std::vector<uint8_t> one(kSize, 0x5A);
    t0 = Clock::now();
    for (long i = 0; i < static_cast<long>(kUsers) * kFingers; ++i) b.Sink(one);
    const double sink = Seconds(t0);

    std::printf("%d users x %d templates x %d bytes = %.1f MB; backup file %.1f MB\n\n", kUsers, kFingers, kSize,
                total / 1e6, std::filesystem::file_size(file) / 1e6);
    Row("user backup", backup, fetch);
    Row("user restore", restore, sink);
    std::filesystem::remove_all(dir);
    return 0;
}
