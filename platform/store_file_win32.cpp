#include <atomic>
#include <string>

#include "platform/store_file.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

namespace {

class Win32View final : public FileView {
public:
    Win32View(HANDLE mapping, const void* p, size_t n) : mapping_(mapping), p_(p), n_(n) {}
    ~Win32View() override {
        UnmapViewOfFile(p_);
        CloseHandle(mapping_);
    }
    const char* data() const override { return static_cast<const char*>(p_); }
    size_t size() const override { return n_; }

private:
    HANDLE mapping_;
    const void* p_;
    size_t n_;
};

class Win32StoreFile final : public StoreFile {
public:
    Win32StoreFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    ~Win32StoreFile() override { CloseFile(); }

    uint64_t Size() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(h_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    }

    std::unique_ptr<FileView> Map(uint32_t* error) override {
        const DWORD size = static_cast<DWORD>(Size());
        if (size == 0) return nullptr;
        HANDLE mapping = CreateFileMappingA(h_, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping) {
            if (error) *error = GetLastError();
            return nullptr;
        }
        const void* p = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        if (!p) {
            if (error) *error = GetLastError();
            CloseHandle(mapping);
            return nullptr;
        }
        return std::make_unique<Win32View>(mapping, p, size);
    }

    bool Replace(const char* data, size_t size, uint32_t* error) override {
        static std::atomic<unsigned> counter{0};
        const std::string temp =
            path_ + ".new." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(++counter);
        RemoveLeftovers();
        bool ok = WriteBeside(temp, data, size, error);
        // The open file shares no deletion, so it must be closed before it can be replaced.
        CloseFile();
        if (ok && !MoveFileExA(temp.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            if (error) *error = GetLastError();
            ok = false;
        }
        if (!ok) DeleteFileA(temp.c_str());
        return ok;
    }

private:
    // New content left beside the file by a writer that died before moving it into place.
    void RemoveLeftovers() const {
        const auto slash = path_.find_last_of("\\/");
        const std::string dir = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((path_ + ".new.*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            DeleteFileA((dir + found.cFileName).c_str());
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }

    static bool WriteBeside(const std::string& temp, const char* data, size_t size, uint32_t* error) {
        HANDLE t = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (t == INVALID_HANDLE_VALUE) {
            if (error) *error = GetLastError();
            return false;
        }
        DWORD written = 0;
        const bool ok = WriteFile(t, data, static_cast<DWORD>(size), &written, nullptr) && written == size &&
                        FlushFileBuffers(t);
        if (!ok && error) *error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
        CloseHandle(t);
        return ok;
    }
    void CloseFile() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

    HANDLE h_;
    std::string path_;
};

}  // namespace

std::unique_ptr<StoreFile> StoreFile::Open(const std::string& path, bool write, uint32_t* error) {
    HANDLE h = CreateFileA(path.c_str(), write ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32StoreFile>(h, path);
}

}  // namespace qv::platform
