#include "termbackup/backup_tool.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <set>

#include "platform/codepage.h"

namespace qv::term {

const char* const kDeviceStatusNames[13] = {
    "",
    "Tatal administrator",
    "Tatal users",
    "Tatal FP",
    "Tatal Password",
    "Tatal manage record",
    "Tatal In and out record",
    "Nominal FP number",
    "Nominal user number",
    "Nominal In and out record number",
    "Remain FP number",
    "Remain user number",
    "Remain In and out record number",
};

namespace {

bool ParseInt(const std::string& text, int32_t* out) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16, ++i;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16, ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16, i += 2;
    }
    if (i >= text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        value = value * base + d;
        // Decimal numbers must fit a signed 32-bit integer; hexadecimal ones its 32 bits.
        if (value > (base == 16 ? 0xFFFFFFFFll : 0x80000000ll)) return false;
    }
    if (base == 10 && !negative && value > 0x7FFFFFFF) return false;
    const auto bits = static_cast<uint32_t>(value);
    *out = static_cast<int32_t>(negative ? 0u - bits : bits);
    return true;
}

std::string Narrow(const std::u16string& s) { return platform::WideToAnsi(s); }
std::u16string Wide(const std::string& s) { return platform::AnsiToWide(s); }

std::string Format(const char* format, int a, int b = 0, int c = 0) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A profile file read once: sections in file order, keys without regard to case (the first
// occurrence counts, as with the system's profile reader), values whole.
struct Profile {
    std::string text;  // the whole file; the maps below point into it
    std::vector<std::string> sections;
    std::map<std::string, std::map<std::string, std::string_view>> values;  // lower section -> lower key

    static Profile Read(const std::string& file) {
        Profile p;
        std::ifstream in(file, std::ios::binary);
        p.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::map<std::string, std::string_view>* current = nullptr;
        const std::string_view all(p.text);
        for (size_t at = 0; at < all.size();) {
            size_t end = all.find('\n', at);
            if (end == std::string_view::npos) end = all.size();
            std::string_view line = all.substr(at, end - at);
            at = end + 1;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                const std::string name(line.substr(1, line.size() - 2));
                const std::string lower = Lower(name);
                const bool fresh = !p.values.count(lower);
                current = &p.values[lower];
                if (fresh) p.sections.push_back(name);
                continue;
            }
            const size_t eq = line.find('=');
            if (!current || eq == std::string_view::npos) continue;
            current->emplace(Lower(std::string(line.substr(0, eq))), line.substr(eq + 1));
        }
        return p;
    }
    std::optional<std::string> Get(const std::string& section, const std::string& key) const {
        const auto s = values.find(Lower(section));
        if (s == values.end()) return std::nullopt;
        const auto k = s->second.find(Lower(key));
        if (k == s->second.end()) return std::nullopt;
        return std::string(k->second);
    }
};

// The enroll number of a section "Users_<n>" (any case, no leading zeros), or 0.
int32_t UserSection(const std::string& name) {
    if (name.size() < 7 || Lower(name.substr(0, 6)) != "users_") return 0;
    const std::string digits = name.substr(6);
    if (digits.empty() || digits.size() > 5 || digits[0] == '0') return 0;
    int32_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n >= 1 && n <= 65534 ? n : 0;
}

}  // namespace

int32_t TextToInt(const std::string& text) {
    int32_t v = 0;
    if (!ParseInt(text, &v)) throw ToolError("'" + text + "' is not a valid integer value");
    return v;
}

int32_t TextToIntOr(const std::string& text, int32_t fallback) {
    int32_t v = 0;
    return ParseInt(text, &v) ? v : fallback;
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

std::string BytesToHex(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out(count * 2, '0');
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    return out;
}

int HexDigitValue(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    int value;
    if (c >= 'a') value = c - 'a' + 10;
    else if (c >= 'A') value = c - 'A' + 10;
    else if (c >= '0') value = c - '0';
    else value = 0;
    if (value > 15) throw ToolError(std::string("Error of Integer: ") + ch);
    return value;
}

namespace {
// HexDigitValue of every byte, or -1 where it raises its error.
struct DigitTable {
    int8_t v[256];
    DigitTable() {
        for (int c = 0; c < 256; ++c) {
            int value = c >= 'a' ? c - 'a' + 10 : c >= 'A' ? c - 'A' + 10 : c >= '0' ? c - '0' : 0;
            v[c] = static_cast<int8_t>(value > 15 ? -1 : value);
        }
    }
};
const DigitTable kDigits;
}  // namespace

std::vector<uint8_t> HexToBytes(const std::string& text) {
    std::vector<uint8_t> out(text.size() / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = kDigits.v[p[2 * i]], lo = kDigits.v[p[2 * i + 1]];
        if (hi < 0 || lo < 0) HexDigitValue(static_cast<char>(hi < 0 ? p[2 * i] : p[2 * i + 1]));  // raises
        out[i] = static_cast<uint8_t>(16 * hi + lo);
    }
    return out;
}

BackupTool::BackupTool(ITerminalControl& control, Log log) : control_(control), log_(std::move(log)) {}

int32_t BackupTool::LastError() {
    int32_t code = 0;
    control_.GetLastErrorCode(&code);
    return code;
}

std::string BackupTool::ControlVersion() {
    std::u16string version;
    control_.GetControlVersion(&version);
    return Narrow(version);
}

bool BackupTool::ConnectClick(const std::string& address, const std::string& port, const std::string& baud,
                              const std::string& password) {
    if (connected_) {
        control_.PrepareDisconnect(machine_number_);
        control_.SetDeviceEnabled(machine_number_, kTrue);
        control_.CloseConnection();
        connected_ = false;
        connect_caption_ = "Connect";
        return false;
    }
    machine_number_ = TextToInt(port);
    if (!password.empty()) control_.SetConnectionPassword(TextToInt(password));
    std::string upper = address;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    TBool ok;
    if (upper.compare(0, 3, "COM") == 0) {
        // Only the fourth character counts; a missing one is code 0.
        const int fourth = address.size() > 3 ? static_cast<unsigned char>(address[3]) : 0;
        com_port_number_ = fourth - '0';
        control_.SetCommPort(com_port_number_);
        ok = control_.ConnectSerial(com_port_number_, machine_number_, TextToInt(baud));
    } else {
        ok = control_.ConnectNetwork(Wide(address), machine_number_);
        machine_number_ = 1;
    }
    if (ok) {
        log_("Device Connected.");
        ShowDeviceInfo();
        connected_ = true;
        connect_caption_ = "Disconnect";
    } else {
        log_(Format("! ConnectDevice ErrorNo.=%d", LastError()));
    }
    log_(" ");
    return connected_;
}

void BackupTool::ShowDeviceInfo() {
    struct TextRead {
        TBool (ITerminalControl::*read)(int32_t, std::u16string*);
        const char* label;
        const char* failure;
    } texts[] = {
        {&ITerminalControl::GetFirmwareVersion, "Firmware Version: ", "! GetFirmwareVersion ErrorNo.=%d"},
        {&ITerminalControl::GetSerialNumber, "Serial Number: ", "! GetSerialNumber ErrorNo.=%d"},
        {&ITerminalControl::GetProductCode, "ProductCode: ", "! GetProductCode ErrorNo.=%d"},
    };
    for (const auto& t : texts) {
        std::u16string text;
        if ((control_.*t.read)(machine_number_, &text))
            log_(t.label + Narrow(text));
        else
            log_(Format(t.failure, LastError()));
    }
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (control_.GetDeviceTime(machine_number_, &y, &mo, &d, &h, &mi, &s)) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "DeviceTime=%d-%d-%d %d:%d:%d", y, mo, d, h, mi, s);
        log_(buf);
    } else {
        log_(Format("! GetDeviceTime ErrorNo.=%d", LastError()));
    }
    for (int32_t index = 1; index <= 12; ++index) {
        int32_t value = 0;
        if (control_.GetDeviceStatus(machine_number_, index, &value))
            log_(std::string(kDeviceStatusNames[index]) + ": " + std::to_string(value));
        else
            log_(Format("! GetDeviceStatus(%d) ErrorNo.=%d", index, LastError()));
    }
}

void BackupTool::EnabledClick(bool ticked) { control_.SetDeviceEnabled(machine_number_, ticked ? kTrue : kFalse); }

bool BackupTool::BackupUsers(const std::string& file) {
    // A refused user list leaves an earlier backup of that name as it was.
    if (!control_.ReadAllUsers(machine_number_)) return false;
    std::remove(file.c_str());
    std::ofstream out;
    auto put = [&](const std::string& line) {
        if (!out.is_open()) out.open(file, std::ios::binary | std::ios::app);
        out << line << "\r\n";
        if (!out) throw ToolError("Unable to write to " + file);
    };
    // Each user's section reaches the file as soon as it is complete.
    auto flush = [&] {
        if (out.is_open() && !out.flush()) throw ToolError("Unable to write to " + file);
    };
    int32_t enroll = 0, privilege = 0;
    std::u16string name, password;
    TBool enabled = kFalse;
    while (control_.GetNextUser(machine_number_, &enroll, &name, &password, &privilege, &enabled)) {
        put("[Users_" + std::to_string(enroll) + "]");
        put("Privilege=" + std::to_string(privilege));
        put(std::string("Enabled=") + (enabled ? "1" : "0"));
        put("Name=" + Narrow(name));
        put("Password=" + Narrow(password));
        for (int32_t finger = 0; finger <= 9; ++finger) {
            uint8_t buffer[kTemplateBufferSize] = {};
            int32_t length = kTemplateBufferSize;
            if (control_.ReadUserTemplate(machine_number_, enroll, finger, buffer, &length))
                put("FPT_" + std::to_string(finger) + "=" + BytesToHex(buffer, static_cast<size_t>(length)));
        }
        flush();
    }
    return true;
}

bool BackupTool::RestoreUsers(const std::string& file, const std::function<void()>& between_users) {
    const Profile profile = Profile::Read(file);
    std::map<int32_t, std::string> users;  // enroll number -> section, in ascending order
    for (const std::string& section : profile.sections)
        if (const int32_t n = UserSection(section)) users.emplace(n, section);
    bool all_ok = true;
    for (const auto& [n, section] : users) {
        if (between_users) between_users();
        std::optional<std::string> v;
        const int32_t privilege = (v = profile.Get(section, "Privilege")) ? TextToIntOr(*v, 0) : 0;
        const int32_t enabled = (v = profile.Get(section, "Enabled")) ? TextToIntOr(*v, 1) : 1;
        std::string password = (v = profile.Get(section, "Password")) ? *v : "";
        if (password == "-1") password.clear();
        const std::string name = (v = profile.Get(section, "Name")) ? *v : "";
        control_.WriteUserInfo(machine_number_, n, Wide(name), Wide(password), privilege, enabled != 0 ? kTrue : kFalse);
        for (int32_t finger = 0; finger <= 9; ++finger) {
            v = profile.Get(section, "FPT_" + std::to_string(finger));
            if (!v || v->empty()) continue;
            const std::vector<uint8_t> bytes = HexToBytes(*v);
            if (bytes.empty()) continue;  // a single digit holds no byte
            if (control_.SetEnrollData(machine_number_, n, finger, bytes)) {
                log_(Format("SetEnrollData OK: User=%d,FP=%d", n, finger));
            } else {
                log_(Format("SetEnrollData Fail: User=%d,FP=%d, Error=%d", n, finger, LastError()));
                all_ok = false;
            }
        }
    }
    return all_ok;
}

bool BackupTool::BackupData(const std::string& file) {
    if (control_.BackupData(Wide(file))) {
        log_("Backup Data to File: \"" + file + "\" OK.");
        return true;
    }
    log_("CancelOperation Error, Code=" + std::to_string(LastError()));
    return false;
}

bool BackupTool::RestoreData(const std::string& file) {
    if (control_.RestoreData(Wide(file))) {
        log_("Restore Data from File: \"" + file + "\" OK.");
        return true;
    }
    log_("RestoreData Error, Code=" + std::to_string(LastError()));
    return false;
}

}  // namespace qv::term
