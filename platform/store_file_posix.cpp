#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/store_file.h"

namespace qv::platform {

namespace {

uint32_t Win32ErrorOf(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: return 3;  // ERROR_PATH_NOT_FOUND
        case EACCES:
        case EPERM:
        case EISDIR: return 5;  // ERROR_ACCESS_DENIED
        case EMFILE:
        case ENFILE: return 4;  // ERROR_TOO_MANY_OPEN_FILES
        case ENOSPC:
        case EDQUOT: return 112;  // ERROR_DISK_FULL
        case EROFS: return 19;    // ERROR_WRITE_PROTECT
        case EAGAIN: return kErrorSharingViolation;
        default: return 31;  // ERROR_GEN_FAILURE
    }
}

class PosixView final : public FileView {
public:
    PosixView(void* p, size_t n) : p_(p), n_(n) {}
    ~PosixView() override { ::munmap(p_, n_); }
    const char* data() const override { return static_cast<const char*>(p_); }
    size_t size() const override { return n_; }

private:
    void* p_;
    size_t n_;
};

// A small file is read into memory: cheaper than mapping and faulting in its pages.
class BufferView final : public FileView {
public:
    explicit BufferView(std::string bytes) : bytes_(std::move(bytes)) {}
    const char* data() const override { return bytes_.data(); }
    size_t size() const override { return bytes_.size(); }

private:
    std::string bytes_;
};

constexpr size_t kReadBelow = 256 * 1024;

class PosixStoreFile final : public StoreFile {
public:
    PosixStoreFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixStoreFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    uint64_t Size() override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }

    std::unique_ptr<FileView> Map(uint32_t* error) override {
        const size_t size = static_cast<uint32_t>(Size());
        if (size == 0) return nullptr;
        if (size < kReadBelow) {
            std::string bytes(size, '\0');
            size_t done = 0;
            while (done < size) {
                const ssize_t n = ::pread(fd_, bytes.data() + done, size - done, static_cast<off_t>(done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            bytes.resize(done);
            if (bytes.empty()) return nullptr;
            return std::make_unique<BufferView>(std::move(bytes));
        }
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_, 0);
        if (p == MAP_FAILED) {
            if (error) *error = Win32ErrorOf(errno);
            return nullptr;
        }
        return std::make_unique<PosixView>(p, size);
    }

    bool Replace(const char* data, size_t size, uint32_t* error) override {
        static std::atomic<unsigned> counter{0};
        const std::string temp = path_ + ".new." + std::to_string(::getpid()) + "." + std::to_string(++counter);
        struct stat st {};
        const mode_t mode = ::fstat(fd_, &st) == 0 ? (st.st_mode & 07777) : 0644;
        RemoveLeftovers();
        const bool ok = WriteBeside(temp, mode, data, size, error) && Move(temp, error);
        if (!ok) ::unlink(temp.c_str());
        ::close(fd_);
        fd_ = -1;
        return ok;
    }

private:
    // New content left beside the file by a writer that died before moving it into place.
    // Only one writer at a time replaces the file (callers hold the store's mutex), so
    // whatever is found here belongs to nobody.
    void RemoveLeftovers() const {
        const auto slash = path_.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
        const std::string prefix = path_.substr(slash == std::string::npos ? 0 : slash + 1) + ".new.";
        DIR* d = ::opendir(dir.c_str());
        if (!d) return;
        while (const dirent* e = ::readdir(d))
            if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0) ::unlink((dir + "/" + e->d_name).c_str());
        ::closedir(d);
    }

    static bool WriteBeside(const std::string& temp, mode_t mode, const char* data, size_t size, uint32_t* error) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) return Fail(error);
        ::fchmod(fd, mode);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = ENOSPC;
                const int saved = errno;
                ::close(fd);
                errno = saved;
                return Fail(error);
            }
            done += static_cast<size_t>(n);
        }
        // The new bytes reach the disk before they replace the old ones.
        if (::fsync(fd) != 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return Fail(error);
        }
        return ::close(fd) == 0 || Fail(error);
    }

    bool Move(const std::string& temp, uint32_t* error) {
        if (::rename(temp.c_str(), path_.c_str()) != 0) return Fail(error);
        // And the directory entry after them.
        const auto slash = path_.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
        const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
        return true;
    }

    static bool Fail(uint32_t* error) {
        if (error) *error = Win32ErrorOf(errno);
        return false;
    }

    int fd_;
    std::string path_;
};

}  // namespace

std::unique_ptr<StoreFile> StoreFile::Open(const std::string& path, bool write, uint32_t* error) {
    const int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = Win32ErrorOf(errno);
        return nullptr;
    }
    // Locks of the open file description: they conflict between two opens in one process too,
    // as share modes do.
    struct flock lock {};
    lock.l_type = write ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int err = errno;
        ::close(fd);
        if (error) *error = err == EAGAIN || err == EACCES ? kErrorSharingViolation : Win32ErrorOf(err);
        return nullptr;
    }
    return std::make_unique<PosixStoreFile>(fd, path);
}

}  // namespace qv::platform
