#include "termbackup/sim/terminal_state.h"

#include <ctime>
#include <random>

namespace qv::term::sim {

namespace {
constexpr uint32_t kStateVersion = 1;
constexpr int32_t kCapacityUsers = 10000, kCapacityTemplates = 60000, kCapacityRecords = 200000;

std::vector<uint8_t> Status(int32_t code) {
    PayloadWriter w;
    w.I32(code);
    return w.data();
}
}  // namespace

void TerminalState::Seed(int users, unsigned seed, int template_size, int templates_per_user) {
    std::mt19937 rng(seed);
    for (int i = 1; i <= users; ++i) {
        SimUser u;
        u.name = "User " + std::to_string(i);
        u.password = i % 3 == 0 ? std::to_string(1000 + i) : "";
        u.privilege = i % 50 == 0 ? 3 : 0;
        u.enabled = i % 17 != 0;
        users_[i] = u;
        const int fingers = templates_per_user > 0 ? templates_per_user : 1 + static_cast<int>(rng() % 10);
        for (int f = 0; f < fingers && f < 10; ++f) {
            std::vector<uint8_t> t(static_cast<size_t>(template_size));
            for (auto& b : t) b = static_cast<uint8_t>(rng());
            templates_[{i, f}] = std::move(t);
        }
        records_.push_back({i, 1790000000 + static_cast<int64_t>(rng() % 5000000), static_cast<int32_t>(rng() % 2)});
    }
}

std::vector<uint8_t> TerminalState::Serialize() const {
    PayloadWriter w;
    w.U32(kStateVersion).U32(static_cast<uint32_t>(users_.size()));
    for (const auto& [enroll, u] : users_)
        w.I32(enroll).Text(u.name).Text(u.password).I32(u.privilege).I32(u.enabled ? 1 : 0);
    w.U32(static_cast<uint32_t>(templates_.size()));
    for (const auto& [key, bytes] : templates_) w.I32(key.first).I32(key.second).Bytes(bytes);
    w.U32(static_cast<uint32_t>(records_.size()));
    for (const auto& r : records_) w.I32(r.enroll).U32(static_cast<uint32_t>(r.time)).I32(r.kind);
    w.U32(static_cast<uint32_t>(static_cast<int32_t>(clock_offset_)));
    return w.data();
}

bool TerminalState::Deserialize(const std::vector<uint8_t>& blob) {
    PayloadReader r(blob);
    uint32_t version = 0, count = 0;
    if (!r.U32(&version) || version != kStateVersion || !r.U32(&count)) return false;
    std::map<int32_t, SimUser> users;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t enroll = 0, enabled = 0;
        SimUser u;
        if (!(r.I32(&enroll) && r.Text(&u.name) && r.Text(&u.password) && r.I32(&u.privilege) && r.I32(&enabled)))
            return false;
        u.enabled = enabled != 0;
        users[enroll] = u;
    }
    std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> templates;
    if (!r.U32(&count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t enroll = 0, finger = 0;
        std::vector<uint8_t> bytes;
        if (!(r.I32(&enroll) && r.I32(&finger) && r.Bytes(&bytes, 2048))) return false;
        templates[{enroll, finger}] = std::move(bytes);
    }
    std::vector<AttendanceRecord> records;
    if (!r.U32(&count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        AttendanceRecord rec{};
        uint32_t t = 0;
        if (!(r.I32(&rec.enroll) && r.U32(&t) && r.I32(&rec.kind))) return false;
        rec.time = t;
        records.push_back(rec);
    }
    uint32_t offset = 0;
    if (!r.U32(&offset) || !r.at_end()) return false;
    // Everything read whole: only now does the state change.
    users_ = std::move(users);
    templates_ = std::move(templates);
    records_ = std::move(records);
    clock_offset_ = static_cast<int32_t>(offset);
    return true;
}

int32_t TerminalState::Counter(int32_t index) const {
    int32_t admins = 0, passwords = 0;
    for (const auto& [enroll, u] : users_) {
        admins += u.privilege > 0;
        passwords += !u.password.empty();
    }
    const auto users = static_cast<int32_t>(users_.size());
    const auto fps = static_cast<int32_t>(templates_.size());
    const auto records = static_cast<int32_t>(records_.size());
    switch (index) {
        case 1: return admins;
        case 2: return users;
        case 3: return fps;
        case 4: return passwords;
        case 5: return 0;
        case 6: return records;
        case 7: return kCapacityTemplates;
        case 8: return kCapacityUsers;
        case 9: return kCapacityRecords;
        case 10: return kCapacityTemplates - fps;
        case 11: return kCapacityUsers - users;
        case 12: return kCapacityRecords - records;
        default: return -1;
    }
}

std::vector<uint8_t> TerminalState::Handle(Command command, const std::vector<uint8_t>& request, bool* changed) {
    *changed = false;
    PayloadReader in(request);
    PayloadWriter out;
    auto machine_ok = [&]() {
        int32_t machine = 0;
        return in.I32(&machine) && machine == machine_;
    };
    switch (command) {
        case Command::kHello: {
            int32_t password = 0, machine = 0;
            if (!in.I32(&password) || !in.I32(&machine)) return Status(kErrorProtocol);
            if (password_ != 0 && password != password_) return Status(kErrorPassword);
            if (machine != machine_) return Status(kErrorMachine);
            return Status(kOk);
        }
        case Command::kFirmwareVersion:
        case Command::kSerialNumber:
        case Command::kProductCode: {
            if (!machine_ok()) return Status(kErrorMachine);
            const char* text = command == Command::kFirmwareVersion ? "Ver 6.60 Sim 1" :
                               command == Command::kSerialNumber     ? "QVSIM0000001" : "QV-TA-100";
            out.I32(kOk).Text(text);
            return out.data();
        }
        case Command::kDeviceTime: {
            if (!machine_ok()) return Status(kErrorMachine);
            const std::time_t now = std::time(nullptr) + clock_offset_;
            std::tm t{};
            gmtime_r(&now, &t);
            out.I32(kOk).I32(t.tm_year + 1900).I32(t.tm_mon + 1).I32(t.tm_mday).I32(t.tm_hour).I32(t.tm_min).I32(t.tm_sec);
            return out.data();
        }
        case Command::kDeviceStatus: {
            int32_t index = 0;
            if (!machine_ok()) return Status(kErrorMachine);
            if (!in.I32(&index) || index < 1 || index > 12) return Status(kErrorArgument);
            out.I32(kOk).I32(Counter(index));
            return out.data();
        }
        case Command::kReadAllUsers: {
            if (!machine_ok()) return Status(kErrorMachine);
            out.I32(kOk).U32(static_cast<uint32_t>(users_.size()));
            for (const auto& [enroll, u] : users_)
                out.I32(enroll).Text(u.name).Text(u.password).I32(u.privilege).I32(u.enabled ? 1 : 0);
            return out.data();
        }
        case Command::kReadTemplate: {
            int32_t enroll = 0, finger = 0;
            if (!machine_ok()) return Status(kErrorMachine);
            if (!in.I32(&enroll) || !in.I32(&finger)) return Status(kErrorProtocol);
            const auto t = templates_.find({enroll, finger});
            if (t == templates_.end()) return Status(kErrorNoData);
            out.I32(kOk).Bytes(t->second);
            return out.data();
        }
        case Command::kTemplatesOfUsers: {
            uint32_t count = 0;
            if (!machine_ok()) return Status(kErrorMachine);
            if (!in.U32(&count) || count > 1024) return Status(kErrorArgument);
            std::vector<std::pair<std::pair<int32_t, int32_t>, const std::vector<uint8_t>*>> found;
            for (uint32_t i = 0; i < count; ++i) {
                int32_t enroll = 0;
                if (!in.I32(&enroll)) return Status(kErrorProtocol);
                for (auto t = templates_.lower_bound({enroll, 0}); t != templates_.end() && t->first.first == enroll; ++t)
                    found.emplace_back(t->first, &t->second);
            }
            out.I32(kOk).U32(static_cast<uint32_t>(found.size()));
            for (const auto& [key, bytes] : found) out.I32(key.first).I32(key.second).Bytes(*bytes);
            return out.data();
        }
        case Command::kWriteUserInfo: {
            int32_t enroll = 0, privilege = 0, enabled = 0;
            SimUser u;
            if (!machine_ok()) return Status(kErrorMachine);
            if (!(in.I32(&enroll) && in.Text(&u.name) && in.Text(&u.password) && in.I32(&privilege) && in.I32(&enabled)))
                return Status(kErrorProtocol);
            if (enroll < 1 || enroll > 65534) return Status(kErrorArgument);
            u.privilege = privilege;
            u.enabled = enabled != 0;
            users_[enroll] = u;
            *changed = true;
            return Status(kOk);
        }
        case Command::kSetEnrollData: {
            int32_t enroll = 0, finger = 0;
            std::vector<uint8_t> bytes;
            if (!machine_ok()) return Status(kErrorMachine);
            if (!(in.I32(&enroll) && in.I32(&finger) && in.Bytes(&bytes, 1u << 20))) return Status(kErrorProtocol);
            if (finger < 0 || finger > 9 || bytes.empty() || bytes.size() > 2048) return Status(kErrorArgument);
            if (users_.find(enroll) == users_.end()) return Status(kErrorNoData);
            templates_[{enroll, finger}] = std::move(bytes);
            *changed = true;
            return Status(kOk);
        }
        case Command::kSetDeviceEnabled: {
            int32_t flag = 0;
            if (!machine_ok()) return Status(kErrorMachine);
            if (!in.I32(&flag)) return Status(kErrorProtocol);
            enabled_ = flag != 0;
            return Status(kOk);
        }
        case Command::kPrepareDisconnect:
            return Status(kOk);
        case Command::kBackupData:
            out.I32(kOk).Bytes(Serialize());
            return out.data();
        case Command::kRestoreData: {
            std::vector<uint8_t> blob;
            if (!in.Bytes(&blob)) return Status(kErrorProtocol);
            if (!Deserialize(blob)) return Status(kErrorDamagedFile);
            *changed = true;
            return Status(kOk);
        }
        case Command::kFetch: {
            uint32_t size = 0;
            if (!in.U32(&size) || size > kMaxPayload - 16) return Status(kErrorArgument);
            out.I32(kOk).Bytes(std::vector<uint8_t>(size, 0x5A));
            return out.data();
        }
        case Command::kSink: {
            std::vector<uint8_t> bytes;
            if (!in.Bytes(&bytes)) return Status(kErrorProtocol);
            return Status(kOk);
        }
        case Command::kEcho: {
            std::vector<uint8_t> bytes;
            if (!in.Bytes(&bytes)) return Status(kErrorProtocol);
            out.I32(kOk).Bytes(bytes);
            return out.data();
        }
    }
    return Status(kErrorUnknownCommand);
}

}  // namespace qv::term::sim
