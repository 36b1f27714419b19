// terminal-sim: a fingerprint time-attendance terminal that speaks the terminal protocol, for
// trying the tool without a terminal and for the tests.
//
//   terminal-sim [--tcp 127.0.0.1:PORT] [--pty] [--users N] [--seed S] [--password N]
//                [--state FILE] [--machine N] [--refuse COMMAND] [--delay-ms N] [--drop-after N]
//                [--templates-per-user N] [--template-size N]
//
// It prints one line per endpoint once it listens ("tcp 127.0.0.1:PORT", "pty /dev/pts/N";
// port 0 picks a free port) and serves until it is terminated. --refuse answers a command
// (its number, or "all") with a refusal; --drop-after N cuts the line in the middle of the
// N-th exchange; --state keeps the terminal's data in FILE across runs.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "platform/byte_stream.h"
#include "termbackup/sim/terminal_state.h"

using namespace qv::term;
using qv::platform::ByteStream;

namespace {

struct Options {
    std::string tcp;
    bool pty = false;
    int users = 0;
    unsigned seed = 1;
    int32_t password = 0;
    int32_t machine = 1;
    std::string state;
    int templates_per_user = 0;
    int template_size = 512;
    sim::Faults faults;
};

std::mutex g_lock;
sim::TerminalState* g_state = nullptr;
Options g_options;
int g_exchanges = 0;

void SaveState() {
    if (g_options.state.empty()) return;
    const std::vector<uint8_t> blob = g_state->Serialize();
    const std::string temp = g_options.state + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(blob.data()), static_cast<std::streamsize>(blob.size()));
    }
    std::rename(temp.c_str(), g_options.state.c_str());
}

// Serves one stream until it ends. A pseudo-terminal has no end: its reader waits for the next
// opener of the other side.
void Serve(std::unique_ptr<ByteStream> stream, bool is_pty) {
    for (;;) {
        int32_t status = kOk;
        auto request = ReceiveFrame(*stream, std::chrono::steady_clock::now() + std::chrono::hours(24), &status);
        if (!request) {
            if (is_pty) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            return;
        }
        Frame answer;
        answer.response = true;
        answer.sequence = request->sequence;
        answer.command = request->command;
        bool drop = false;
        {
            std::lock_guard<std::mutex> guard(g_lock);
            ++g_exchanges;
            drop = g_options.faults.drop_after > 0 && g_exchanges == g_options.faults.drop_after;
            const auto cmd = static_cast<uint16_t>(request->command);
            if (g_options.faults.refused.count(cmd) || g_options.faults.refused.count(0)) {
                PayloadWriter w;
                w.I32(kErrorRefused);
                answer.payload = w.data();
            } else {
                bool changed = false;
                answer.payload = g_state->Handle(request->command, request->payload, &changed);
                if (changed) SaveState();
            }
        }
        if (g_options.faults.delay_ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(g_options.faults.delay_ms));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        if (drop) {
            // Half a frame, then the line goes.
            std::vector<uint8_t> bytes = {'Q', 'T', kProtocolVersion, 2, 0, 0};
            stream->WriteAll(bytes.data(), bytes.size(), deadline);
            if (!is_pty) return;
            continue;
        }
        if (SendFrame(*stream, answer, deadline) != qv::platform::StreamResult::kOk && !is_pty) return;
    }
}

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--tcp") o->tcp = value();
        else if (a == "--pty") o->pty = true;
        else if (a == "--users") o->users = std::atoi(value().c_str());
        else if (a == "--seed") o->seed = static_cast<unsigned>(std::strtoul(value().c_str(), nullptr, 10));
        else if (a == "--password") o->password = std::atoi(value().c_str());
        else if (a == "--machine") o->machine = std::atoi(value().c_str());
        else if (a == "--state") o->state = value();
        else if (a == "--templates-per-user") o->templates_per_user = std::atoi(value().c_str());
        else if (a == "--template-size") o->template_size = std::atoi(value().c_str());
        else if (a == "--delay-ms") o->faults.delay_ms = std::atoi(value().c_str());
        else if (a == "--drop-after") o->faults.drop_after = std::atoi(value().c_str());
        else if (a == "--refuse") {
            const std::string c = value();
            o->faults.refused.insert(c == "all" ? 0 : static_cast<uint16_t>(std::atoi(c.c_str())));
        } else
            return false;
    }
    return !o->tcp.empty() || o->pty;
}

}  // namespace

int main(int argc, char** argv) {
    if (!Parse(argc, argv, &g_options)) {
        std::fprintf(stderr,
                     "usage: terminal-sim [--tcp 127.0.0.1:PORT] [--pty] [--users N] [--seed S] [--password N]\n"
                     "                    [--state FILE] [--machine N] [--refuse COMMAND|all] [--delay-ms N]\n"
                     "                    [--drop-after N] [--templates-per-user N] [--template-size N]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    sim::TerminalState state(g_options.machine, g_options.password);
    g_state = &state;
    bool loaded = false;
    if (!g_options.state.empty()) {
        std::ifstream in(g_options.state, std::ios::binary);
        if (in) {
            const std::vector<uint8_t> blob((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!state.Deserialize(blob)) {
                std::fprintf(stderr, "terminal-sim: %s: not a state file of the simulator\n", g_options.state.c_str());
                return 1;
            }
            loaded = true;
        }
    }
    if (!loaded && g_options.users > 0)
        state.Seed(g_options.users, g_options.seed, g_options.template_size, g_options.templates_per_user);

    std::unique_ptr<qv::platform::StreamListener> listener;
    if (!g_options.tcp.empty()) {
        const auto colon = g_options.tcp.rfind(':');
        const std::string host = g_options.tcp.substr(0, colon);
        if (host != "127.0.0.1" || colon == std::string::npos) {
            std::fprintf(stderr, "terminal-sim: it listens on 127.0.0.1 only\n");
            return 2;
        }
        listener = qv::platform::StreamListener::ListenLoopback(
            static_cast<uint16_t>(std::atoi(g_options.tcp.substr(colon + 1).c_str())));
        if (!listener) {
            std::fprintf(stderr, "terminal-sim: cannot listen on %s\n", g_options.tcp.c_str());
            return 1;
        }
        std::printf("tcp 127.0.0.1:%u\n", listener->port());
    }
    if (g_options.pty) {
        std::string slave;
        auto master = qv::platform::OpenPseudoTerminal(&slave);
        if (!master) {
            std::fprintf(stderr, "terminal-sim: cannot open a pseudo-terminal\n");
            return 1;
        }
        std::printf("pty %s\n", slave.c_str());
        std::thread(Serve, std::move(master), true).detach();
    }
    std::fflush(stdout);
    for (;;) {
        if (listener) {
            if (auto stream = listener->Accept(std::chrono::seconds(1))) std::thread(Serve, std::move(stream), false).detach();
        } else {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
}
