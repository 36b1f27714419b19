#include "qvcommdb/db_node.h"

#include <cstring>

#include "platform/bstr.h"
#include "qvcommdb/db_enum.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/tree_generation.h"
#include "qvcommdb/xml_parser.h"

namespace qv::db {

using platform::BstrToAnsi;

bool IsValidName(std::string_view name) { return xml::IsXmlName(name.data(), name.size()); }

DBNode::DBNode(std::string_view name, DBManager* manager, int depth)
    : manager_(manager),
      name_(new char[name.size() + 1]),
      name_length_(static_cast<uint32_t>(name.size())),
      depth_(static_cast<uint8_t>(depth)) {
    std::memcpy(name_.get(), name.data(), name.size());
    name_[name.size()] = '\0';
}

DBNode* DBNode::Create(std::string_view name, DBManager* manager, int depth) {
    TreeChanged();
    return new DBNode(name, manager, depth);
}

DBNode::~DBNode() {
    values_.Clear([](DBValue* v) { v->Release(); });
    children_.Clear([](DBNode* c) { c->Release(); });
}

void DBNode::ReleaseSubtree() {
    manager_ = nullptr;
    children_.Clear([](DBNode* c) {
        c->ReleaseSubtree();
        c->Release();
    });
}

HRESULT DBNode::GetOrMakeChild(std::string_view name, DBNode** child) {
    if (DBNode* found = children_.Find(name)) {
        *child = found;
        return S_OK;
    }
    if (!IsValidName(name) || depth_ >= kMaxNodeDepth) return E_INVALIDARG;
    DBNode* made = Create(name, manager_, depth_ + 1);
    children_.Insert(made);
    *child = made;
    return S_OK;
}

HRESULT DBNode::GetOrMakeValue(std::string_view name, DBValue** value) {
    if (DBValue* found = values_.Find(name)) {
        *value = found;
        return S_OK;
    }
    if (!IsValidName(name)) return E_INVALIDARG;
    DBValue* made = DBValue::Create(name);
    values_.Insert(made);
    *value = made;
    return S_OK;
}

HRESULT DBNode::PutValue(std::string_view name, std::string_view text) {
    if (DBValue* found = values_.Find(name)) {
        found->SetText(text);
        return S_OK;
    }
    if (!IsValidName(name)) return E_INVALIDARG;
    values_.Insert(DBValue::Create(name, text));
    return S_OK;
}

HRESULT DBNode::WalkPath(std::string_view path, DBNode** result) {
    DBNode* node = this;
    for (;;) {
        if (!path.empty() && path.front() == '/') path.remove_prefix(1);
        const size_t slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        const std::string_view rest = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
        if (component.empty()) return E_INVALIDARG;
        DBNode* child = nullptr;
        const HRESULT hr = node->GetOrMakeChild(component, &child);
        if (FAILED(hr)) return hr;
        if (rest.empty()) {
            child->AddRef();
            *result = child;
            return S_OK;
        }
        node = child;
        path = rest;
    }
}

HRESULT DBNode::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDBNode)) {
        *ppv = static_cast<IDBNode*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DBNode::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG DBNode::Release() {
    const int32_t n = refs_.Decrement();
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT DBNode::GetName(BSTR* pName) {
    return ComGuard([&] {
        if (!pName) return E_POINTER;
        *pName = platform::AnsiToBstr(name());
        return *pName ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT DBNode::GetValue(BSTR Name, IDBValue** ppValue) {
    return ComGuard([&] {
        if (!ppValue) return E_POINTER;
        *ppValue = FindValue(BstrToAnsi(Name));
        return *ppValue ? S_OK : E_FAIL;
    });
}

HRESULT DBNode::AddValue(BSTR Name, IDBValue** ppValue) {
    return ComGuard([&] {
        if (!ppValue) return E_POINTER;
        *ppValue = nullptr;
        DBValue* value = nullptr;
        const HRESULT hr = GetOrMakeValue(BstrToAnsi(Name), &value);
        if (SUCCEEDED(hr)) *ppValue = value;
        return hr;
    });
}

HRESULT DBNode::CreateNode(BSTR Path, IDBNode** ppNode) {
    return ComGuard([&] {
        if (!ppNode) return E_POINTER;
        *ppNode = nullptr;
        DBNode* node = nullptr;
        const HRESULT hr = WalkPath(BstrToAnsi(Path), &node);
        if (SUCCEEDED(hr)) *ppNode = node;
        return hr;
    });
}

HRESULT DBNode::Open(ULONG AccessType) {
    return ComGuard([&] {
        if (!manager_) return E_FAIL;
        HRESULT hr = manager_->OpenStore(AccessType);
        if (FAILED(hr)) return hr;
        if ((state_ == NodeState::New || state_ == NodeState::Deleted) &&
            !(AccessType & QVDB_Access_WRITE)) {
            state_ = NodeState::Refused;
            manager_->CloseStore();
            return E_INVALIDARG;
        }
        access_ |= AccessType;
        if (access_ & QVDB_Access_WRITE)
            state_ = NodeState::OpenWrite;
        else if (access_ & QVDB_Access_READ)
            state_ = NodeState::OpenRead;
        return S_OK;
    });
}

HRESULT DBNode::Close() {
    return ComGuard([&] {
        if (!manager_) return E_FAIL;
        const HRESULT hr = manager_->CloseStore();
        if (SUCCEEDED(hr)) state_ = NodeState::Closed;
        return hr;
    });
}

HRESULT DBNode::Cancel() { return Close(); }

HRESULT DBNode::DeleteValue(BSTR Name) {
    return ComGuard([&] {
        DBValue* removed = values_.Remove(BstrToAnsi(Name));
        if (!removed) return E_INVALIDARG;
        TreeChanged();
        removed->Release();
        return S_OK;
    });
}

HRESULT DBNode::GetDWord(BSTR Name, ULONG* pVal) {
    return ComGuard([&] {
        DBValue* value = FindValue(BstrToAnsi(Name));
        return value ? value->GetDWord(pVal) : E_FAIL;
    });
}

HRESULT DBNode::GetString(BSTR Name, BSTR* pVal) {
    return ComGuard([&] {
        if (!pVal) return E_POINTER;
        DBValue* value = FindValue(BstrToAnsi(Name));
        if (!value) return E_FAIL;
        *pVal = platform::AnsiToBstr(value->text());
        return *pVal ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT DBNode::GetInterface(BSTR Name, IDBNode** ppVal) {
    return ComGuard([&] {
        if (!ppVal) return E_POINTER;
        *ppVal = FindChild(BstrToAnsi(Name));
        return *ppVal ? S_OK : E_FAIL;
    });
}

HRESULT DBNode::GetBlob(BSTR Name, ULONG* pSize, unsigned char** ppBlob) {
    return ComGuard([&] {
        DBValue* value = FindValue(BstrToAnsi(Name));
        return value ? value->GetBlob(pSize, ppBlob) : E_FAIL;
    });
}

HRESULT DBNode::SetDWord(BSTR Name, ULONG Val) {
    return ComGuard([&] {
        DBValue* value = nullptr;
        if (FAILED(GetOrMakeValue(BstrToAnsi(Name), &value))) return E_FAIL;
        return value->SetDWord(Val);
    });
}

HRESULT DBNode::SetString(BSTR Name, BSTR Val) {
    return ComGuard([&] {
        DBValue* value = nullptr;
        if (FAILED(GetOrMakeValue(BstrToAnsi(Name), &value))) return E_FAIL;
        value->SetText(BstrToAnsi(Val));
        return S_OK;
    });
}

HRESULT DBNode::SetInterface(BSTR Name, IDBNode* ppVal) {
    return ComGuard([&] {
        DBValue* value = nullptr;
        if (FAILED(GetOrMakeValue(BstrToAnsi(Name), &value))) return E_FAIL;
        return value->SetInterface(Name, ppVal);
    });
}

HRESULT DBNode::SetBlob(BSTR Name, ULONG Size, unsigned char* pBlob) {
    return ComGuard([&] {
        DBValue* value = nullptr;
        if (FAILED(GetOrMakeValue(BstrToAnsi(Name), &value))) return E_FAIL;
        return value->SetBlob(Name, Size, pBlob);
    });
}

HRESULT DBNode::EnumValues(IDBEnumNode** ppEnum) {
    return ComGuard([&] {
        if (!ppEnum) return E_POINTER;
        *ppEnum = DBEnumNode::Create(this, DBEnumNode::Kind::Values);
        return S_OK;
    });
}

HRESULT DBNode::EnumChildren(IDBEnumNode** ppEnum) {
    return ComGuard([&] {
        if (!ppEnum) return E_POINTER;
        *ppEnum = DBEnumNode::Create(this, DBEnumNode::Kind::Children);
        return S_OK;
    });
}

namespace {
void MarkDeleted(DBNode* node) {
    node->children().ForEach([](DBNode* child) { MarkDeleted(child); });
    node->set_state(NodeState::Deleted);
}
}  // namespace

HRESULT DBNode::DeleteNode() {
    return ComGuard([&] {
        if (!(access_ & QVDB_Access_WRITE) || state_ == NodeState::Refused) return E_INVALIDARG;
        if (!manager_) return E_FAIL;
        MarkDeleted(this);
        TreeChanged();
        return FAILED(manager_->CloseStore()) ? E_FAIL : S_OK;
    });
}

}  // namespace qv::db
