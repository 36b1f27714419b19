// POSIX backend of the named objects: each object is a shared memory object under /dev/shm.
//
// Lifetime: every process that has an object open holds a shared lock on a companion lock file;
// the process that closes it last (it obtains the exclusive lock) removes the object, as the
// last handle of a Win32 object removes it. A process that dies drops its lock with it.
// The mutex is a robust, recursive, process-shared pthread mutex inside its object.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/named_objects.h"

namespace qv::platform {

namespace {

constexpr size_t kMaxShmName = 250;

// The object name as a shared memory name: "/qv." and the name with "/" and "%" escaped;
// a name too long for the system keeps its start and gets a hash of the whole.
std::string ShmName(const std::string& name) {
    std::string out = "/qv.";
    for (char c : name) {
        if (c == '/' || c == '%') {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
            out += buf;
        } else {
            out.push_back(c);
        }
    }
    if (out.size() > kMaxShmName) {
        char hash[20];
        std::snprintf(hash, sizeof hash, "#%016zx", std::hash<std::string>{}(out));
        out = out.substr(0, kMaxShmName - 17) + hash;
    }
    return out;
}

uint32_t Win32ErrorOf(int err) { return err == EACCES || err == EPERM ? kErrorAccessDenied : 1359; }

// One open shared memory object with its lifetime lock.
class ShmObject {
public:
    ~ShmObject() { Close(); }

    // Opens or creates the object of `size` bytes. `init` runs once, in the creating process,
    // before any other process can use the object.
    bool Open(const std::string& name, size_t size, unsigned mode, bool* created, uint32_t* error,
              const std::function<void(void*)>& init) {
        shm_name_ = ShmName(name);
        const std::string lock_path = "/dev/shm" + shm_name_ + ".lock";
        lock_fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (lock_fd_ < 0) return Fail(error);
        ::fchmod(lock_fd_, mode);
        // Waits while a last closer removes the object.
        while (::flock(lock_fd_, LOCK_SH) != 0)
            if (errno != EINTR) return Fail(error);
        for (int attempt = 0; attempt < 1000; ++attempt) {
            int fd = ::shm_open(shm_name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                ::fchmod(fd, mode);
                if (::ftruncate(fd, static_cast<off_t>(size + kHeader)) != 0 || !Map(fd, size)) {
                    ::close(fd);
                    ::shm_unlink(shm_name_.c_str());
                    return Fail(error);
                }
                ::close(fd);
                init(data());
                Ready()->store(1, std::memory_order_release);
                *created = true;
                return true;
            }
            if (errno != EEXIST) return Fail(error);
            fd = ::shm_open(shm_name_.c_str(), O_RDWR | O_CLOEXEC, 0);
            if (fd < 0) {
                if (errno == ENOENT) continue;  // removed in between: make it anew
                return Fail(error);
            }
            // The creator may not have sized and set it up yet.
            struct stat st {};
            bool mapped = false;
            for (int wait = 0; wait < 2000; ++wait) {
                if (::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= size + kHeader) {
                    mapped = Map(fd, size);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            ::close(fd);
            if (!mapped) return Fail(error);
            for (int wait = 0; Ready()->load(std::memory_order_acquire) == 0; ++wait) {
                if (wait > 20000) return Fail(error);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            *created = false;
            return true;
        }
        return Fail(error);
    }

    void* data() { return static_cast<char*>(map_) + kHeader; }

    void Close() {
        if (map_) ::munmap(map_, map_size_);
        map_ = nullptr;
        if (lock_fd_ >= 0) {
            ::flock(lock_fd_, LOCK_UN);
            if (::flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) {
                // Nobody else has the object open: it goes, as with the last Win32 handle.
                ::shm_unlink(shm_name_.c_str());
                ::flock(lock_fd_, LOCK_UN);
            }
            ::close(lock_fd_);
            lock_fd_ = -1;
        }
    }

private:
    // The first 64 bytes of every object hold its "set up" flag.
    static constexpr size_t kHeader = 64;
    std::atomic<int>* Ready() { return static_cast<std::atomic<int>*>(map_); }
    bool Map(int fd, size_t size) {
        map_size_ = size + kHeader;
        void* p = ::mmap(nullptr, map_size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) return false;
        map_ = p;
        return true;
    }
    bool Fail(uint32_t* error) {
        if (error) *error = Win32ErrorOf(errno);
        Close();
        return false;
    }

    std::string shm_name_;
    int lock_fd_ = -1;
    void* map_ = nullptr;
    size_t map_size_ = 0;
};

class PosixMutex final : public NamedMutex {
public:
    bool Open(const std::string& name, unsigned mode, bool initial_owner, bool* created, uint32_t* error) {
        if (!object_.Open(name, sizeof(pthread_mutex_t), mode, created, error, [](void* p) {
                pthread_mutexattr_t attr;
                pthread_mutexattr_init(&attr);
                pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
                pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
                pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
                pthread_mutex_init(static_cast<pthread_mutex_t*>(p), &attr);
                pthread_mutexattr_destroy(&attr);
            }))
            return false;
        mutex_ = static_cast<pthread_mutex_t*>(object_.data());
        if (*created && initial_owner) Wait(0);
        return true;
    }

    WaitResult Wait(uint32_t timeout_ms) override {
        int rc;
        if (timeout_ms == 0) {
            rc = pthread_mutex_trylock(mutex_);
            if (rc == EBUSY) return WaitResult::kTimeout;
        } else {
            timespec deadline{};
            clock_gettime(CLOCK_REALTIME, &deadline);
            deadline.tv_sec += timeout_ms / 1000;
            deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
            if (deadline.tv_nsec >= 1000000000L) {
                deadline.tv_sec += 1;
                deadline.tv_nsec -= 1000000000L;
            }
            do {
                rc = pthread_mutex_timedlock(mutex_, &deadline);
            } while (rc == EINTR);
            if (rc == ETIMEDOUT) return WaitResult::kTimeout;
        }
        if (rc == EOWNERDEAD) {
            // The owner died holding it: this thread has it now, and it becomes usable again.
            pthread_mutex_consistent(mutex_);
            return WaitResult::kAbandoned;
        }
        return rc == 0 ? WaitResult::kObtained : WaitResult::kFailed;
    }

    bool Release() override { return pthread_mutex_unlock(mutex_) == 0; }

private:
    ShmObject object_;
    pthread_mutex_t* mutex_ = nullptr;
};

class PosixBlock final : public SharedBlock {
public:
    bool Open(const std::string& name, size_t size, unsigned mode, bool* existed, uint32_t* error) {
        size_ = size;
        bool created = false;
        if (!object_.Open(name, size, mode, &created, error, [size](void* p) { std::memset(p, 0, size); }))
            return false;
        *existed = !created;
        return true;
    }
    void* data() override { return object_.data(); }
    size_t size() const override { return size_; }

private:
    ShmObject object_;
    size_t size_ = 0;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::CreateOrOpen(const std::string& name, const SharedObjectSecurity* security,
                                                     bool initial_owner, bool* created, uint32_t* error) {
    auto m = std::make_unique<PosixMutex>();
    bool made = false;
    if (!m->Open(name, security ? security->mode : 0600, initial_owner, &made, error)) return nullptr;
    if (created) *created = made;
    return m;
}

std::unique_ptr<SharedBlock> SharedBlock::CreateOrOpen(const std::string& name, size_t size,
                                                       const SharedObjectSecurity* security, bool* existed,
                                                       uint32_t* error) {
    auto b = std::make_unique<PosixBlock>();
    bool before = false;
    if (!b->Open(name, size, security ? security->mode : 0600, &before, error)) return nullptr;
    if (existed) *existed = before;
    return b;
}

}  // namespace qv::platform
