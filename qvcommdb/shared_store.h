// The store file shared by the managers of a machine, the named mutex that serialises their
// accesses, the shared block that counts them, and the sequences that move a tree between the
// file and memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/named_objects.h"
#include "platform/store_file.h"
#include "qvcomm/com_types.h"

namespace qv::db {

class DBManager;

// Layout of the shared block: 272 bytes.
inline constexpr size_t kSharedBlockSize = 272;
inline constexpr size_t kSharedPathField = 261;       // offset 0: the path the first process wrote
inline constexpr size_t kProcessCountOffset = 264;    // signed 32-bit count of attached managers
inline constexpr uint32_t kInitialMutexTimeout = 1000;

inline constexpr char kDirectoryProblem[] =
    "Unable to create Quorvex directory. Check Windows directory permissions.";
inline constexpr char kTimeoutProblem[] = "Timeout on QVCommDB mutex";

// The file-name part of a store path without directory and extension; "QVCommDB" when no path
// is given. Both separators count, on every system.
std::string StoreBaseName(const std::string& store_path);

// Prefix (when the global namespace exists) and base name, cut to 255 characters.
struct StoreObjectNames {
    std::string block;
    std::string mutex;
};
StoreObjectNames MakeStoreObjectNames(const std::string& store_path);

// The default store: the system directory, "Quorvex", "QVCommDB.xml".
std::string DefaultStoreDirectory();
std::string DefaultStorePath();

class SharedStore {
public:
    SharedStore() = default;
    SharedStore(const SharedStore&) = delete;
    SharedStore& operator=(const SharedStore&) = delete;
    ~SharedStore();

    // The path given to Init; empty means the default store.
    void SetStorePath(const std::string& path) { store_path_ = path; }
    const std::string& store_path() const { return store_path_; }
    void SetProtection(void* routine) { protection_ = routine; }

    // Joins the machine's managers of this store (nothing once attached).
    bool AttachShared();
    // Leaves them, at the manager's teardown. An access still open then is ended without
    // saving: the file is closed and the mutex given back.
    void DetachShared();
    bool attached() const { return attached_; }
    uint32_t mutex_timeout() const { return mutex_timeout_; }
    // The machine's count of attached managers, as the shared block holds it now.
    int32_t process_count() const;

    // Run when the manager's open nesting goes from 0 to 1 and from 1 to 0.
    HRESULT LoadStore(DBManager& manager, ULONG request);
    HRESULT SaveStore(DBManager& manager);

private:
    bool AcquireStoreMutex();
    void ReleaseStoreMutex();
    HRESULT OpenStoreFile(ULONG access_type);
    void CallProtection(ULONG on) const;
    int32_t* ProcessCount() const;

    std::string store_path_;
    void* protection_ = nullptr;
    bool attached_ = false;
    bool holds_mutex_ = false;
    uint32_t mutex_timeout_ = kInitialMutexTimeout;
    std::unique_ptr<platform::NamedMutex> mutex_;
    std::unique_ptr<platform::SharedBlock> block_;
    std::unique_ptr<platform::StoreFile> file_;

    // What the tree and the file held when this manager last loaded or saved: the content's
    // digest and size, and the process's tree generation right after.
    struct Sync {
        bool valid = false;
        bool by_save = false;
        uint64_t digest = 0;
        size_t size = 0;
        uint64_t generation = 0;
        std::string bytes;  // the content itself, kept when it is small
    } sync_;
    void RecordSync(const char* data, size_t size, bool by_save);
    bool InSyncWith(const char* data, size_t size) const;
};

}  // namespace qv::db
