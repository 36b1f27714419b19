#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/system_paths.h"

namespace qv::platform {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string RegistryPath() {
    const char* file = std::getenv("QV_REGISTRY_FILE");
    if (file && *file) return file;
    return SystemDirectory() + "/Quorvex/registry.txt";
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(c);
    }
    return out + "\"";
}

// Reads a quoted text starting at s[i] == '"'; advances i past it.
bool Unquote(const std::string& s, size_t& i, std::string* out) {
    if (i >= s.size() || s[i] != '"') return false;
    for (++i; i < s.size(); ++i) {
        if (s[i] == '"') {
            ++i;
            return true;
        }
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            out->push_back(s[i] == 'n' ? '\n' : s[i]);
        } else {
            out->push_back(s[i]);
        }
    }
    return false;
}

struct Key {
    std::string name;                                            // as first written
    std::map<std::string, std::pair<std::string, std::string>> values;  // lower name -> (name, value)
};

class FileRegistry final : public ClassesRoot {
public:
    ~FileRegistry() override {
        if (lock_fd_ >= 0) ::close(lock_fd_);
    }

    bool Load(uint32_t* error) {
        path_ = RegistryPath();
        const auto slash = path_.find_last_of('/');
        if (slash != std::string::npos && slash > 0) CreateDirectoryPath(path_.substr(0, slash));
        lock_fd_ = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lock_fd_ < 0 || ::flock(lock_fd_, LOCK_EX) != 0) {
            if (error) *error = errno == EACCES ? 5 : 3;
            return false;
        }
        std::ifstream in(path_, std::ios::binary);
        std::string line;
        Key* current = nullptr;
        while (std::getline(in, line)) {
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                const std::string name = line.substr(1, line.size() - 2);
                Key& k = keys_[Lower(name)];
                k.name = name;
                current = &k;
                continue;
            }
            if (!current || line.empty()) continue;
            size_t i = 0;
            std::string name, value;
            if (line[0] == '@') {
                i = 1;
            } else if (!Unquote(line, i, &name)) {
                continue;
            }
            if (i >= line.size() || line[i] != '=') continue;
            ++i;
            if (!Unquote(line, i, &value)) continue;
            current->values[Lower(name)] = {name, value};
        }
        return true;
    }

    bool SetString(const std::string& key, const std::string& name, const std::string& value) override {
        // Parents exist as keys of their own, as in the registry.
        for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) Touch(key.substr(0, at));
        Touch(key).values[Lower(name)] = {name, value};
        return true;
    }

    bool DeleteTree(const std::string& key) override {
        const std::string k = Lower(key);
        for (auto it = keys_.begin(); it != keys_.end();) {
            if (it->first == k || it->first.compare(0, k.size() + 1, k + "\\") == 0)
                it = keys_.erase(it);
            else
                ++it;
        }
        return true;
    }

    bool KeyExists(const std::string& key) override { return keys_.count(Lower(key)) != 0; }

    std::optional<std::string> GetString(const std::string& key, const std::string& name) override {
        const auto k = keys_.find(Lower(key));
        if (k == keys_.end()) return std::nullopt;
        const auto v = k->second.values.find(Lower(name));
        if (v == k->second.values.end()) return std::nullopt;
        return v->second.second;
    }

    bool HasNoSubkeys(const std::string& key) override {
        const std::string prefix = Lower(key) + "\\";
        const auto it = keys_.lower_bound(prefix);
        return it == keys_.end() || it->first.compare(0, prefix.size(), prefix) != 0;
    }

    bool Commit(uint32_t* error) override {
        std::ostringstream out;
        out << "; keys under HKEY_CLASSES_ROOT\n";
        for (const auto& [lower, key] : keys_) {
            out << '[' << key.name << "]\n";
            for (const auto& [lname, nv] : key.values)
                out << (nv.first.empty() ? std::string("@") : Quote(nv.first)) << '=' << Quote(nv.second) << '\n';
        }
        const std::string text = out.str();
        const std::string temp = path_ + ".new." + std::to_string(::getpid());
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                  ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
        if (!ok) {
            ::unlink(temp.c_str());
            if (error) *error = 5;
        }
        return ok;
    }

private:
    Key& Touch(const std::string& key) {
        Key& k = keys_[Lower(key)];
        if (k.name.empty()) k.name = key;
        return k;
    }

    std::string path_;
    int lock_fd_ = -1;
    std::map<std::string, Key> keys_;  // by lower-case name
};

}  // namespace

bool LocalMachineKeyOpens(const std::string&) { return false; }

std::unique_ptr<ClassesRoot> ClassesRoot::Open(uint32_t* error) {
    auto r = std::make_unique<FileRegistry>();
    if (!r->Load(error)) return nullptr;
    return r;
}

}  // namespace qv::platform
