#include "qvcommdb/shared_store.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "common/startup_services.h"
#include "common/trace_limiter.h"
#include "platform/filesystem.h"
#include "platform/system_paths.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/store_format.h"
#include "qvcommdb/tree_generation.h"

namespace qv::db {

namespace {

constexpr ULONG kProtectionWhat = 0x40000;
constexpr size_t kObjectNameBuffer = 256;

std::string Join(const std::string& dir, const char* name) { return dir + platform::kPathSeparator + name; }

std::string Format(const std::string& prefix, const std::string& base, const char* suffix) {
    char buffer[kObjectNameBuffer];
    std::snprintf(buffer, sizeof buffer, "%s%s%s", prefix.c_str(), base.c_str(), suffix);
    return buffer;
}

HRESULT FromSystemError(uint32_t error) {
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

TraceLimiter g_unload_trace;

}  // namespace

std::string StoreBaseName(const std::string& store_path) {
    const std::string path = store_path.empty() ? "\\QVCommDB.xml" : store_path;
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

StoreObjectNames MakeStoreObjectNames(const std::string& store_path) {
    const std::string prefix = startup::HasGlobalNamespace() ? "Global\\" : "";
    const std::string base = StoreBaseName(store_path);
    // The mutex name is the block's name with "_mux" after it, both cut to the buffer.
    const std::string block = Format(prefix, base, "");
    return {block, Format(prefix, base, "_mux")};
}

std::string DefaultStoreDirectory() { return Join(platform::SystemDirectory(), "Quorvex"); }
std::string DefaultStorePath() { return Join(DefaultStoreDirectory(), "QVCommDB.xml"); }

SharedStore::~SharedStore() {
    if (attached_) DetachShared();
}

int32_t* SharedStore::ProcessCount() const {
    return reinterpret_cast<int32_t*>(static_cast<char*>(block_->data()) + kProcessCountOffset);
}

int32_t SharedStore::process_count() const {
    return attached_ ? std::atomic_ref<int32_t>(*ProcessCount()).load() : 0;
}

bool SharedStore::AttachShared() {
    if (attached_) return true;
    const StoreObjectNames names = MakeStoreObjectNames(store_path_);
    const platform::SharedObjectSecurity* security = startup::GetSharedObjectSecurity();
    bool created = false;
    uint32_t error = 0;
    // The process that makes the mutex holds it while it sets the block up.
    mutex_ = platform::NamedMutex::CreateOrOpen(names.mutex, security, true, &created, &error);
    if (!mutex_) return false;
    const bool owns = created;
    bool failed = false;
    const std::string default_dir = store_path_.empty() ? DefaultStoreDirectory() : std::string();
    bool existed = false;
    block_ = platform::SharedBlock::CreateOrOpen(names.block, kSharedBlockSize, security, &existed, &error);
    if (!block_) {
        failed = true;
    } else {
        if (!existed) {
            if (store_path_.empty()) {
                if (!startup::CreateDirectoryPath(default_dir.c_str())) {
                    const char* messages[] = {kDirectoryProblem};
                    startup::ReportProblem(1, startup::kProblemEventCode, 1, messages, 1);
                    failed = true;
                }
                store_path_ = Join(default_dir, "QVCommDB.xml");
            }
            char* field = static_cast<char*>(block_->data());
            std::memset(field, 0, kSharedPathField);
            std::memcpy(field, store_path_.data(), std::min(store_path_.size(), kSharedPathField));
        } else if (store_path_.empty()) {
            store_path_ = Join(default_dir, "QVCommDB.xml");
        }
        // A failed attach gives its place back, so that the next attempt counts only once.
        if (!failed) std::atomic_ref<int32_t>(*ProcessCount()).fetch_add(1);
    }
    // Only the mutex this manager made is its own to release: a thread that already holds the
    // mutex through another manager keeps holding it.
    if (owns) mutex_->Release();
    if (failed) {
        block_.reset();
        mutex_.reset();
        return false;
    }
    attached_ = true;
    return true;
}

void SharedStore::DetachShared() {
    if (!attached_) return;
    if (holds_mutex_) {
        file_.reset();
        ReleaseStoreMutex();
    }
    const int32_t count = std::atomic_ref<int32_t>(*ProcessCount()).fetch_sub(1) - 1;
    g_unload_trace.Trace(startup::kTraceNotable, "[QVCOMMDB UNLOAD] process count:%d\n", count);
    mutex_.reset();
    block_.reset();
    attached_ = false;
}

bool SharedStore::AcquireStoreMutex() {
    switch (mutex_->Wait(mutex_timeout_)) {
        case platform::NamedMutex::WaitResult::kObtained:
        case platform::NamedMutex::WaitResult::kAbandoned:
            holds_mutex_ = true;
            return true;
        case platform::NamedMutex::WaitResult::kTimeout:
            if (mutex_timeout_ != 0) {
                const char* messages[] = {kTimeoutProblem};
                startup::ReportProblem(1, startup::kProblemEventCode, 1, messages, 0);
                mutex_timeout_ = 0;
            }
            return false;
        case platform::NamedMutex::WaitResult::kFailed:
            break;
    }
    // A wait that failed leaves the mutex with somebody else: the store is not safe to use.
    return false;
}

void SharedStore::ReleaseStoreMutex() {
    if (holds_mutex_) mutex_->Release();
    holds_mutex_ = false;
}

void SharedStore::CallProtection(ULONG on) const {
    if (!protection_) return;
    try {
        reinterpret_cast<QVDB_SetProtection>(protection_)(kProtectionWhat, on);
    } catch (...) {
        // The caller's routine must not break the sequence that holds the mutex.
    }
}

HRESULT SharedStore::OpenStoreFile(ULONG access_type) {
    if (file_) return S_OK;
    const bool write = (access_type & QVDB_Access_WRITE) != 0;
    if (write) CallProtection(0);
    uint32_t error = 0;
    file_ = platform::StoreFile::Open(store_path_, write, &error);
    if (write) CallProtection(1);
    return file_ ? S_OK : FromSystemError(error);
}

namespace {
// Contents up to this size are kept and compared whole; larger ones by their digest.
constexpr size_t kKeepContentBelow = 64 * 1024;
}  // namespace

void SharedStore::RecordSync(const char* data, size_t size, bool by_save) {
    sync_.valid = true;
    sync_.by_save = by_save;
    sync_.size = size;
    sync_.generation = TreeGeneration();
    if (size < kKeepContentBelow) {
        sync_.bytes.assign(data, size);
        sync_.digest = 0;
    } else {
        sync_.bytes.clear();
        sync_.digest = ContentDigest(data, size);
    }
}

bool SharedStore::InSyncWith(const char* data, size_t size) const {
    if (!sync_.valid || sync_.size != size || sync_.generation != TreeGeneration()) return false;
    if (size < kKeepContentBelow) return std::memcmp(sync_.bytes.data(), data, size) == 0;
    return sync_.digest == ContentDigest(data, size);
}

HRESULT SharedStore::LoadStore(DBManager& manager, ULONG request) {
    if (!AttachShared()) return E_FAIL;
    if (!AcquireStoreMutex()) return E_ACCESSDENIED;
    HRESULT hr = OpenStoreFile(manager.access_type());
    if (FAILED(hr)) {
        ReleaseStoreMutex();
        return hr;
    }
    uint32_t error = 0;
    std::unique_ptr<platform::FileView> view = file_->Map(&error);
    if (!view) {
        hr = QVDB_E_LOADFAILED;
    } else if (InSyncWith(view->data(), view->size())) {
        // The file holds what this tree last loaded or saved, and the tree has not changed
        // since: a merge would change nothing but the states of the nodes it meets.
        if (sync_.by_save && manager.root()) MarkWrittenNodesLoaded(*manager.root());
        hr = S_OK;
    } else {
        hr = MergeStoreText(manager, view->data(), view->size());
        if (SUCCEEDED(hr)) RecordSync(view->data(), view->size(), false);
    }
    view.reset();
    if (FAILED(hr) && !(hr == QVDB_E_LOADFAILED && (request & QVDB_Access_WRITE))) {
        file_.reset();
        ReleaseStoreMutex();
    }
    return hr;
}

HRESULT SharedStore::SaveStore(DBManager& manager) {
    HRESULT hr = OpenStoreFile(manager.access_type());
    if (FAILED(hr)) {
        ReleaseStoreMutex();
        return hr;
    }
    const bool write = (manager.access_type() & QVDB_Access_WRITE) != 0;
    if (write) {
        CallProtection(0);
        TextBuffer text;
        uint32_t error = 0;
        if (!ComposeStoreText(manager, &text) || !file_->Replace(text.data(), text.size(), &error))
            hr = QVDB_E_SAVEFAILED;
        if (SUCCEEDED(hr))
            RecordSync(text.data(), text.size(), true);
        else
            sync_.valid = false;
    }
    file_.reset();
    if (write) CallProtection(1);
    ReleaseStoreMutex();
    return hr;
}

}  // namespace qv::db
