// What the terminal simulator holds and how it answers requests.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "termbackup/protocol.h"

namespace qv::term::sim {

struct SimUser {
    std::string name, password;
    int32_t privilege = 0;
    bool enabled = true;
};

struct AttendanceRecord {
    int32_t enroll;
    int64_t time;  // seconds since 1970
    int32_t kind;  // 0 check in, 1 check out
};

// Faults the simulator can be told to show.
struct Faults {
    std::set<uint16_t> refused;  // commands answered with kErrorRefused
    int delay_ms = 0;            // before every answer
    int drop_after = 0;          // the line is cut in the middle of the n-th exchange (0: never)
};

class TerminalState {
public:
    TerminalState(int32_t machine, int32_t password) : machine_(machine), password_(password) {}

    // n synthetic users with 1 to 10 templates of `template_size` bytes each, from `seed`.
    void Seed(int users, unsigned seed, int template_size = 512, int templates_per_user = 0);

    // The whole data, as BackupData hands it out and RestoreData takes it back.
    std::vector<uint8_t> Serialize() const;
    bool Deserialize(const std::vector<uint8_t>& blob);

    // Answers one request: the response payload, starting with the status.
    std::vector<uint8_t> Handle(Command command, const std::vector<uint8_t>& request, bool* changed);

    size_t user_count() const { return users_.size(); }

private:
    int32_t Counter(int32_t index) const;

    int32_t machine_;
    int32_t password_;
    bool enabled_ = true;
    int64_t clock_offset_ = 0;
    std::map<int32_t, SimUser> users_;
    std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> templates_;
    std::vector<AttendanceRecord> records_;
};

}  // namespace qv::term::sim
