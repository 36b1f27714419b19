// The store file shared by the managers of a machine, and the sequences that move a tree
// between it and memory.
#pragma once

#include <string>

#include "qvcomm/com_types.h"

namespace qv::db {

class DBManager;

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

    bool AttachShared();
    void DetachShared();
    bool attached() const { return attached_; }

    // Run at the outermost open and close of a manager.
    HRESULT LoadStore(DBManager& manager, ULONG request);
    HRESULT SaveStore(DBManager& manager);

private:
    std::string store_path_;
    void* protection_ = nullptr;
    bool attached_ = false;
};

}  // namespace qv::db
