#include "termbackup/terminal_client.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/utf.h"

namespace qv::term {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kFileHeader = 16;
constexpr uint32_t kFileVersion = 1;
constexpr size_t kTemplateBatch = 64;  // users whose templates one exchange fetches

// Texts cross the line as UTF-8, whatever the narrow code page.
std::string Utf8(const std::u16string& s) { return platform::Utf16ToUtf8(s); }
std::u16string Utf16(const std::string& s) { return platform::Utf8ToUtf16(s); }

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

std::chrono::milliseconds TimeoutFromEnvironment() {
    const char* text = std::getenv("QV_TERMINAL_TIMEOUT_MS");
    const long ms = text ? std::strtol(text, nullptr, 10) : 0;
    return std::chrono::milliseconds(ms > 0 ? ms : 5000);
}

}  // namespace

std::vector<uint8_t> EncodeDataFile(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> file(kFileHeader + payload.size());
    std::memcpy(file.data(), "QVTD", 4);
    PutU32(&file[4], kFileVersion);
    PutU32(&file[8], static_cast<uint32_t>(payload.size()));
    PutU32(&file[12], Crc32(payload.data(), payload.size()));
    if (!payload.empty()) std::memcpy(&file[kFileHeader], payload.data(), payload.size());
    return file;
}

std::optional<std::vector<uint8_t>> DecodeDataFile(const std::vector<uint8_t>& file, int32_t* status) {
    *status = kErrorDamagedFile;
    if (file.size() < kFileHeader || std::memcmp(file.data(), "QVTD", 4) != 0) return std::nullopt;
    if (GetU32(&file[4]) != kFileVersion) return std::nullopt;
    const uint32_t size = GetU32(&file[8]);
    if (file.size() - kFileHeader != size) return std::nullopt;  // cut, or something after it
    std::vector<uint8_t> payload(file.begin() + kFileHeader, file.end());
    if (Crc32(payload.data(), payload.size()) != GetU32(&file[12])) return std::nullopt;
    *status = kOk;
    return payload;
}

std::string SerialDeviceOf(int32_t port) {
    const std::string variable = "QV_COM" + std::to_string(port);
    if (const char* device = std::getenv(variable.c_str()); device && *device) return device;
    return "/dev/ttyS" + std::to_string(port - 1);
}

TerminalControl::TerminalControl() : timeout_(TimeoutFromEnvironment()) {}

TerminalControl::~TerminalControl() = default;

TBool TerminalControl::Fail(int32_t code) {
    last_error_ = code;
    return kFalse;
}

std::optional<std::vector<uint8_t>> TerminalControl::Exchange(Command command, const PayloadWriter& request) {
    if (!stream_) return Fail(kErrorNotConnected), std::nullopt;
    const auto deadline = Clock::now() + timeout_;
    Frame frame;
    frame.sequence = ++sequence_;
    frame.command = command;
    frame.payload = request.data();
    platform::StreamResult sent = SendFrame(*stream_, frame, deadline);
    if (sent != platform::StreamResult::kOk) {
        stream_.reset();  // a line that failed mid-exchange is closed
        return Fail(sent == platform::StreamResult::kTimeout ? kErrorTimeout : kErrorLineLost), std::nullopt;
    }
    int32_t status = kOk;
    std::optional<Frame> answer = ReceiveFrame(*stream_, deadline, &status);
    if (!answer) {
        stream_.reset();
        return Fail(status), std::nullopt;
    }
    if (!answer->response || answer->sequence != frame.sequence || answer->command != command) {
        stream_.reset();
        return Fail(kErrorProtocol), std::nullopt;
    }
    PayloadReader reader(answer->payload);
    int32_t code = kErrorProtocol;
    if (!reader.I32(&code)) return Fail(kErrorProtocol), std::nullopt;
    if (code != kOk) return Fail(code), std::nullopt;
    last_error_ = kOk;
    return std::vector<uint8_t>(answer->payload.begin() + 4, answer->payload.end());
}

TBool TerminalControl::GetControlVersion(std::u16string* version) {
    *version = Utf16(kControlVersion);
    return kTrue;
}

TBool TerminalControl::SetConnectionPassword(int32_t password) {
    password_ = password;
    return kTrue;
}

TBool TerminalControl::Hello(int32_t machine) {
    PayloadWriter w;
    w.I32(password_).I32(machine);
    if (!Exchange(Command::kHello, w)) {
        stream_.reset();
        return kFalse;
    }
    machine_ = machine;
    return kTrue;
}

TBool TerminalControl::ConnectSerial(int32_t port, int32_t machine, int32_t baud) {
    CloseConnection();
    if (port < 1) return Fail(kErrorArgument);
    stream_ = platform::OpenSerial(SerialDeviceOf(port), baud);
    if (!stream_) return Fail(kErrorConnect);
    return Hello(machine);
}

TBool TerminalControl::ConnectNetwork(const std::u16string& address, int32_t port) {
    CloseConnection();
    if (port < 1 || port > 65535) return Fail(kErrorArgument);
    stream_ = platform::ConnectTcp(Utf8(address), static_cast<uint16_t>(port), timeout_);
    if (!stream_) return Fail(kErrorConnect);
    return Hello(1);
}

TBool TerminalControl::PrepareDisconnect(int32_t machine) {
    PayloadWriter w;
    w.I32(machine);
    return Exchange(Command::kPrepareDisconnect, w) ? kTrue : kFalse;
}

TBool TerminalControl::SetDeviceEnabled(int32_t machine, TBool enabled) {
    PayloadWriter w;
    w.I32(machine).I32(enabled ? 1 : 0);
    return Exchange(Command::kSetDeviceEnabled, w) ? kTrue : kFalse;
}

void TerminalControl::CloseConnection() {
    stream_.reset();
    users_.clear();
    user_index_.clear();
    templates_.clear();
    next_user_ = fetched_from_ = fetched_until_ = 0;
}

void TerminalControl::GetLastErrorCode(int32_t* code) { *code = last_error_; }

TBool TerminalControl::ReadText(Command command, int32_t machine, std::u16string* text) {
    PayloadWriter w;
    w.I32(machine);
    auto answer = Exchange(command, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    std::string utf8;
    if (!r.Text(&utf8)) return Fail(kErrorProtocol);
    *text = Utf16(utf8);
    return kTrue;
}

TBool TerminalControl::GetFirmwareVersion(int32_t machine, std::u16string* text) {
    return ReadText(Command::kFirmwareVersion, machine, text);
}
TBool TerminalControl::GetSerialNumber(int32_t machine, std::u16string* text) {
    return ReadText(Command::kSerialNumber, machine, text);
}
TBool TerminalControl::GetProductCode(int32_t machine, std::u16string* text) {
    return ReadText(Command::kProductCode, machine, text);
}

TBool TerminalControl::GetDeviceTime(int32_t machine, int32_t* year, int32_t* month, int32_t* day, int32_t* hour,
                                     int32_t* minute, int32_t* second) {
    PayloadWriter w;
    w.I32(machine);
    auto answer = Exchange(Command::kDeviceTime, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    if (!(r.I32(year) && r.I32(month) && r.I32(day) && r.I32(hour) && r.I32(minute) && r.I32(second)))
        return Fail(kErrorProtocol);
    return kTrue;
}

TBool TerminalControl::GetDeviceStatus(int32_t machine, int32_t counter, int32_t* value) {
    PayloadWriter w;
    w.I32(machine).I32(counter);
    auto answer = Exchange(Command::kDeviceStatus, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    return r.I32(value) ? kTrue : Fail(kErrorProtocol);
}

TBool TerminalControl::ReadAllUsers(int32_t machine) {
    PayloadWriter w;
    w.I32(machine);
    auto answer = Exchange(Command::kReadAllUsers, w);
    users_.clear();
    user_index_.clear();
    templates_.clear();
    next_user_ = fetched_from_ = fetched_until_ = 0;
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    uint32_t count = 0;
    if (!r.U32(&count)) return Fail(kErrorProtocol);
    for (uint32_t i = 0; i < count; ++i) {
        User u{};
        int32_t enabled = 0;
        if (!(r.I32(&u.enroll) && r.Text(&u.name) && r.Text(&u.password) && r.I32(&u.privilege) && r.I32(&enabled))) {
            users_.clear();
            return Fail(kErrorProtocol);
        }
        u.enabled = enabled != 0;
        user_index_[u.enroll] = users_.size();
        users_.push_back(std::move(u));
    }
    return kTrue;
}

TBool TerminalControl::GetNextUser(int32_t, int32_t* enroll, std::u16string* name, std::u16string* password,
                                   int32_t* privilege, TBool* enabled) {
    if (next_user_ >= users_.size()) return Fail(kErrorNoData);
    const User& u = users_[next_user_++];
    *enroll = u.enroll;
    *name = Utf16(u.name);
    *password = Utf16(u.password);
    *privilege = u.privilege;
    *enabled = u.enabled ? kTrue : kFalse;
    return kTrue;
}

// Fetches the templates of the next batch of listed users in one exchange, so that a backup
// moves its bytes in large frames rather than one round trip per finger.
bool TerminalControl::FetchTemplates(size_t first_user) {
    PayloadWriter w;
    const size_t count = std::min(kTemplateBatch, users_.size() - first_user);
    w.I32(machine_).U32(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) w.I32(users_[first_user + i].enroll);
    auto answer = Exchange(Command::kTemplatesOfUsers, w);
    if (!answer) return false;
    PayloadReader r(*answer);
    uint32_t templates = 0;
    if (!r.U32(&templates)) return Fail(kErrorProtocol), false;
    for (uint32_t i = 0; i < templates; ++i) {
        int32_t enroll = 0, finger = 0;
        std::vector<uint8_t> bytes;
        if (!(r.I32(&enroll) && r.I32(&finger) && r.Bytes(&bytes, kTemplateBufferSize)))
            return Fail(kErrorProtocol), false;
        templates_[{enroll, finger}] = std::move(bytes);
    }
    fetched_from_ = first_user;
    fetched_until_ = first_user + count;
    return true;
}

TBool TerminalControl::ReadUserTemplate(int32_t machine, int32_t enroll, int32_t finger, uint8_t* buffer,
                                        int32_t* length) {
    if (finger < 0 || finger > 9 || !buffer || !length || *length <= 0) return Fail(kErrorArgument);
    const auto listed = user_index_.find(enroll);
    if (listed != user_index_.end() && machine == machine_) {
        // A listed user: its templates come with those of the users after it.
        if (listed->second < fetched_from_ || listed->second >= fetched_until_) {
            templates_.clear();
            if (!FetchTemplates(listed->second)) return kFalse;
        }
        const auto t = templates_.find({enroll, finger});
        if (t == templates_.end()) return Fail(kErrorNoData);
        const int32_t n = std::min<int32_t>(*length, static_cast<int32_t>(t->second.size()));
        std::memcpy(buffer, t->second.data(), static_cast<size_t>(n));
        *length = n;
        last_error_ = kOk;
        return kTrue;
    }
    PayloadWriter w;
    w.I32(machine).I32(enroll).I32(finger);
    auto answer = Exchange(Command::kReadTemplate, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    std::vector<uint8_t> bytes;
    if (!r.Bytes(&bytes, kTemplateBufferSize)) return Fail(kErrorProtocol);
    const int32_t n = std::min<int32_t>(*length, static_cast<int32_t>(bytes.size()));
    std::memcpy(buffer, bytes.data(), static_cast<size_t>(n));
    *length = n;
    return kTrue;
}

TBool TerminalControl::WriteUserInfo(int32_t machine, int32_t enroll, const std::u16string& name,
                                     const std::u16string& password, int32_t privilege, TBool enabled) {
    PayloadWriter w;
    w.I32(machine).I32(enroll).Text(Utf8(name)).Text(Utf8(password)).I32(privilege).I32(enabled ? 1 : 0);
    return Exchange(Command::kWriteUserInfo, w) ? kTrue : kFalse;
}

TBool TerminalControl::SetEnrollData(int32_t machine, int32_t enroll, int32_t finger, const std::vector<uint8_t>& bytes) {
    PayloadWriter w;
    w.I32(machine).I32(enroll).I32(finger).Bytes(bytes);
    return Exchange(Command::kSetEnrollData, w) ? kTrue : kFalse;
}

TBool TerminalControl::BackupData(const std::u16string& file) {
    PayloadWriter w;
    auto answer = Exchange(Command::kBackupData, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    std::vector<uint8_t> blob;
    if (!r.Bytes(&blob)) return Fail(kErrorProtocol);
    const std::vector<uint8_t> bytes = EncodeDataFile(blob);
    const std::string path = Utf8(file);
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return Fail(kErrorFile);
        }
    }
    // The finished file replaces an older one of that name only once it is whole.
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return Fail(kErrorFile);
    }
    return kTrue;
}

TBool TerminalControl::RestoreData(const std::u16string& file) {
    std::ifstream in(Utf8(file), std::ios::binary);
    if (!in) return Fail(kErrorFile);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The whole file is checked before anything on the terminal changes.
    int32_t status = kOk;
    auto payload = DecodeDataFile(bytes, &status);
    if (!payload) return Fail(status);
    PayloadWriter w;
    w.Bytes(*payload);
    return Exchange(Command::kRestoreData, w) ? kTrue : kFalse;
}

TBool TerminalControl::Echo(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* back) {
    PayloadWriter w;
    w.Bytes(bytes);
    auto answer = Exchange(Command::kEcho, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    return r.Bytes(back) ? kTrue : Fail(kErrorProtocol);
}

TBool TerminalControl::Fetch(uint32_t size, std::vector<uint8_t>* bytes) {
    PayloadWriter w;
    w.U32(size);
    auto answer = Exchange(Command::kFetch, w);
    if (!answer) return kFalse;
    PayloadReader r(*answer);
    return r.Bytes(bytes) ? kTrue : Fail(kErrorProtocol);
}

TBool TerminalControl::Sink(const std::vector<uint8_t>& bytes) {
    PayloadWriter w;
    w.Bytes(bytes);
    return Exchange(Command::kSink, w) ? kTrue : kFalse;
}

}  // namespace qv::term
