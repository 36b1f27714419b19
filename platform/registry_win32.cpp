#include "platform/registry.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

namespace {

class Win32Registry final : public ClassesRoot {
public:
    bool SetString(const std::string& key, const std::string& name, const std::string& value) override {
        HKEY h = nullptr;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const LONG rc = RegSetValueExA(h, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(h);
        return rc == ERROR_SUCCESS;
    }
    bool DeleteTree(const std::string& key) override {
        const LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return false;
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
        return !KeyExists(key);
    }
    bool KeyExists(const std::string& key) override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }
    std::optional<std::string> GetString(const std::string& key, const std::string& name) override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
        char buf[2048];
        DWORD size = sizeof buf - 1, type = 0;
        const LONG rc = RegQueryValueExA(h, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(h);
        if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
        buf[size] = '\0';
        return std::string(buf);
    }
    bool HasNoSubkeys(const std::string& key) override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return true;
        DWORD subkeys = 0;
        RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(h);
        return subkeys == 0;
    }
    bool Commit(uint32_t*) override { return true; }
};

}  // namespace

std::unique_ptr<ClassesRoot> ClassesRoot::Open(uint32_t*) { return std::make_unique<Win32Registry>(); }

bool LocalMachineKeyOpens(const std::string& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace qv::platform
