// Helpers shared by the tests: environment variables, temporary directories and capture files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace qv::test {

inline void SetEnv(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    _putenv((name + "=" + value).c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnv(const std::string& name) {
#if defined(_WIN32)
    _putenv((name + "=").c_str());
#else
    unsetenv(name.c_str());
#endif
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("qvtest-" + std::to_string(rd()) + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Points an environment variable at a capture file for the life of the object.
class CaptureFile {
public:
    explicit CaptureFile(std::string variable) : variable_(std::move(variable)) {
        path_ = dir_.file("capture.txt");
        SetEnv(variable_, path_);
    }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;
    ~CaptureFile() { UnsetEnv(variable_); }
    std::string Read() const { return ReadFile(path_); }
    void Clear() const { WriteFile(path_, ""); }

private:
    TempDir dir_;
    std::string variable_;
    std::string path_;
};

}  // namespace qv::test
