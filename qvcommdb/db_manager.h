// DBManager: a client's tree and its accesses to the shared store.
#pragma once

#include <string>

#include "platform/ref_count.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_node.h"
#include "qvcommdb/module.h"
#include "qvcommdb/shared_store.h"

namespace qv::db {

inline constexpr char kRootNodeName[] = "QVCDB:QVCommDB";

class DBManager final : public IDBManager {
public:
    // A new manager with a count of 0: empty tree, access type 0.
    static DBManager* Create();

    // The root, made when missing (borrowed).
    DBNode* GetOrMakeRoot();
    DBNode* root() const { return root_; }
    ULONG access_type() const { return access_type_; }
    int32_t open_nesting() const { return open_nesting_; }
    SharedStore& store() { return store_; }
    // Size of the store text last loaded or composed: room to reserve for the next save.
    size_t text_size_hint() const { return text_size_hint_; }
    void set_text_size_hint(size_t size) const { text_size_hint_ = size; }

    // Begins an access: grants the request against the access type and loads the store at
    // the outermost open.
    HRESULT OpenStore(ULONG request);
    // Ends an access: saves the store at the outermost close.
    HRESULT CloseStore();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Init(BSTR StoreName) override;
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR Path, IDBNode** ppNode) override;
    HRESULT STDMETHODCALLTYPE SetAccessType(ULONG dwAccess, void* fpSetProtection) override;

private:
    DBManager();
    ~DBManager();

    DBNode* root_ = nullptr;  // one reference, the tree's
    int32_t open_nesting_ = 0;
    ULONG access_type_ = 0;
    mutable size_t text_size_hint_ = 0;
    SharedStore store_;
    platform::RefCount refs_{0};
    ModuleObjectToken token_;
};

}  // namespace qv::db
