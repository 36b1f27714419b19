#include "qvcommdb/db_manager.h"

#include "platform/bstr.h"

namespace qv::db {

DBManager::DBManager() = default;

DBManager::~DBManager() {
    if (root_) {
        root_->ReleaseSubtree();
        root_->Release();
        root_ = nullptr;
    }
    if (store_.attached()) store_.DetachShared();
}

DBManager* DBManager::Create() { return new DBManager(); }

DBNode* DBManager::GetOrMakeRoot() {
    if (!root_) root_ = DBNode::Create(kRootNodeName, this, 1);
    return root_;
}

HRESULT DBManager::OpenStore(ULONG request) {
    if (access_type_ == 0) return E_FAIL;
    if (!(request & access_type_)) {
        if (!(access_type_ & QVDB_Access_WRITE)) return E_FAIL;
        access_type_ |= request;
    }
    if (open_nesting_ == 0) {
        const HRESULT hr = store_.LoadStore(*this, request);
        if (FAILED(hr) && !(hr == QVDB_E_LOADFAILED && (request & QVDB_Access_WRITE))) return hr;
    }
    ++open_nesting_;
    return S_OK;
}

HRESULT DBManager::CloseStore() {
    if (open_nesting_ == 0) return S_OK;
    HRESULT hr = S_OK;
    if (open_nesting_ == 1) hr = store_.SaveStore(*this);
    --open_nesting_;
    return hr;
}

HRESULT DBManager::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDBManager)) {
        *ppv = static_cast<IDBManager*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DBManager::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG DBManager::Release() {
    const int32_t n = refs_.Decrement();
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT DBManager::Init(BSTR StoreName) {
    return ComGuard([&] {
        std::string path = platform::BstrToAnsi(StoreName);
        if (!path.empty()) store_.SetStorePath(path);
        store_.AttachShared();
        return S_OK;
    });
}

HRESULT DBManager::CreateNode(BSTR Path, IDBNode** ppNode) {
    return ComGuard([&] {
        if (!ppNode) return E_POINTER;
        *ppNode = nullptr;
        DBNode* root = GetOrMakeRoot();
        const std::string path = platform::BstrToAnsi(Path);
        if (path == kRootNodeName) {
            root->AddRef();
            *ppNode = root;
            return S_OK;
        }
        DBNode* node = nullptr;
        const HRESULT hr = root->WalkPath(path, &node);
        if (SUCCEEDED(hr)) *ppNode = node;
        return hr;
    });
}

HRESULT DBManager::SetAccessType(ULONG dwAccess, void* fpSetProtection) {
    access_type_ = dwAccess;
    store_.SetProtection(fpSetProtection);
    return S_OK;
}

}  // namespace qv::db
