// A terminal control for the tests of the tool's handlers: it records every call and answers
// from a script.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "termbackup/terminal_control.h"

namespace qv::test {

using term::kFalse;
using term::kTrue;
using term::TBool;

class FakeControl final : public term::ITerminalControl {
public:
    struct User {
        int32_t enroll;
        std::string name, password;
        int32_t privilege;
        bool enabled;
        std::map<int32_t, std::vector<uint8_t>> templates;
    };

    std::vector<std::string> calls;
    bool connect_ok = true;
    bool read_all_ok = true;
    bool set_enroll_ok = true;
    bool backup_ok = true, restore_ok = true;
    int32_t error_code = -7;
    std::vector<std::string> failing_reads;  // "FirmwareVersion", "DeviceStatus3", ...
    std::vector<User> users;
    size_t next = 0;

    std::string Last() const { return calls.empty() ? "" : calls.back(); }
    bool Fails(const std::string& what) const {
        for (const auto& f : failing_reads)
            if (f == what) return true;
        return false;
    }
    static std::string N(const std::u16string& s) { return platform::WideToAnsi(s); }
    static std::u16string W(const std::string& s) { return platform::AnsiToWide(s); }

    TBool GetControlVersion(std::u16string* v) override {
        *v = u"Fake 1.0";
        return kTrue;
    }
    TBool SetConnectionPassword(int32_t p) override {
        calls.push_back("SetConnectionPassword " + std::to_string(p));
        return kTrue;
    }
    TBool ConnectSerial(int32_t port, int32_t machine, int32_t baud) override {
        calls.push_back("ConnectSerial " + std::to_string(port) + " " + std::to_string(machine) + " " +
                        std::to_string(baud));
        return connect_ok ? kTrue : kFalse;
    }
    TBool ConnectNetwork(const std::u16string& address, int32_t port) override {
        calls.push_back("ConnectNetwork " + N(address) + " " + std::to_string(port));
        return connect_ok ? kTrue : kFalse;
    }
    TBool PrepareDisconnect(int32_t m) override {
        calls.push_back("PrepareDisconnect " + std::to_string(m));
        return kTrue;
    }
    TBool SetDeviceEnabled(int32_t m, TBool e) override {
        calls.push_back("SetDeviceEnabled " + std::to_string(m) + " " + std::to_string(e));
        return kTrue;
    }
    void CloseConnection() override { calls.push_back("CloseConnection"); }
    void GetLastErrorCode(int32_t* code) override { *code = error_code; }
    TBool Text(const char* what, std::u16string* t) {
        if (Fails(what)) return kFalse;
        *t = W(std::string(what) + " text");
        return kTrue;
    }
    TBool GetFirmwareVersion(int32_t, std::u16string* t) override { return Text("FirmwareVersion", t); }
    TBool GetSerialNumber(int32_t, std::u16string* t) override { return Text("SerialNumber", t); }
    TBool GetProductCode(int32_t, std::u16string* t) override { return Text("ProductCode", t); }
    TBool GetDeviceTime(int32_t, int32_t* y, int32_t* mo, int32_t* d, int32_t* h, int32_t* mi, int32_t* s) override {
        if (Fails("DeviceTime")) return kFalse;
        *y = 2026, *mo = 3, *d = 4, *h = 5, *mi = 6, *s = 7;
        return kTrue;
    }
    TBool GetDeviceStatus(int32_t, int32_t counter, int32_t* value) override {
        if (Fails("DeviceStatus" + std::to_string(counter))) return kFalse;
        *value = counter * 10;
        return kTrue;
    }
    TBool ReadAllUsers(int32_t) override {
        next = 0;
        return read_all_ok ? kTrue : kFalse;
    }
    TBool GetNextUser(int32_t, int32_t* enroll, std::u16string* name, std::u16string* password, int32_t* privilege,
                      TBool* enabled) override {
        if (next >= users.size()) return kFalse;
        const User& u = users[next++];
        *enroll = u.enroll, *name = W(u.name), *password = W(u.password), *privilege = u.privilege;
        *enabled = u.enabled ? kTrue : kFalse;
        return kTrue;
    }
    TBool ReadUserTemplate(int32_t, int32_t enroll, int32_t finger, uint8_t* buffer, int32_t* length) override {
        for (const auto& u : users)
            if (u.enroll == enroll) {
                const auto t = u.templates.find(finger);
                if (t == u.templates.end()) return kFalse;
                std::copy(t->second.begin(), t->second.end(), buffer);
                *length = static_cast<int32_t>(t->second.size());
                return kTrue;
            }
        return kFalse;
    }
    TBool WriteUserInfo(int32_t m, int32_t enroll, const std::u16string& name, const std::u16string& password,
                        int32_t privilege, TBool enabled) override {
        calls.push_back("WriteUserInfo " + std::to_string(m) + " " + std::to_string(enroll) + " [" + N(name) + "] [" +
                        N(password) + "] " + std::to_string(privilege) + " " + std::to_string(enabled));
        return kTrue;
    }
    TBool SetEnrollData(int32_t, int32_t enroll, int32_t finger, const std::vector<uint8_t>& bytes) override {
        std::string hex;
        for (uint8_t b : bytes) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02X", b);
            hex += buf;
        }
        calls.push_back("SetEnrollData " + std::to_string(enroll) + " " + std::to_string(finger) + " " + hex);
        return set_enroll_ok ? kTrue : kFalse;
    }
    TBool BackupData(const std::u16string& f) override {
        calls.push_back("BackupData " + N(f));
        return backup_ok ? kTrue : kFalse;
    }
    TBool RestoreData(const std::u16string& f) override {
        calls.push_back("RestoreData " + N(f));
        return restore_ok ? kTrue : kFalse;
    }
    int32_t CommPort() const override { return comm_port; }
    void SetCommPort(int32_t p) override {
        comm_port = p;
        calls.push_back("CommPort " + std::to_string(p));
    }
    int32_t comm_port = 0;
};

}  // namespace qv::test
