#include "qvcommdb/db_enum.h"

#include "platform/bstr.h"
#include "qvcommdb/db_node.h"

namespace qv::db {

DBEnumNode::DBEnumNode(DBNode* node, Kind kind) : node_(node), kind_(kind) { node_->AddRef(); }

DBEnumNode::~DBEnumNode() { node_->Release(); }

DBEnumNode* DBEnumNode::Create(DBNode* node, Kind kind) { return new DBEnumNode(node, kind); }

HRESULT DBEnumNode::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDBEnumNode)) {
        *ppv = static_cast<IDBEnumNode*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DBEnumNode::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG DBEnumNode::Release() {
    const int32_t n = refs_.Decrement();
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT DBEnumNode::GetCount(ULONG* pCount) {
    if (!pCount) return E_POINTER;
    *pCount = kind_ == Kind::Values ? node_->values().size() : node_->children().size();
    return S_OK;
}

IUnknown* DBEnumNode::Advance(std::string* name) {
    IUnknown* entry = nullptr;
    std::string_view key;
    if (kind_ == Kind::Values) {
        DBValue* v = started_ ? node_->values().UpperBound(last_) : node_->values().First();
        if (v) entry = static_cast<IDBValue*>(v), key = v->name();
    } else {
        DBNode* c = started_ ? node_->children().UpperBound(last_) : node_->children().First();
        if (c) entry = static_cast<IDBNode*>(c), key = c->name();
    }
    if (!entry) return nullptr;
    last_.assign(key);
    started_ = true;
    if (name) *name = last_;
    return entry;
}

HRESULT DBEnumNode::NextIUnknown(IUnknown** ppVal) {
    return ComGuard([&] {
        if (!ppVal) return E_POINTER;
        *ppVal = Advance(nullptr);
        if (!*ppVal) return E_FAIL;
        (*ppVal)->AddRef();
        return S_OK;
    });
}

HRESULT DBEnumNode::Next(BSTR* pName) {
    return ComGuard([&] {
        if (!pName) return E_POINTER;
        *pName = nullptr;
        std::string name;
        if (!Advance(&name)) return E_FAIL;
        *pName = platform::AnsiToBstr(name);
        return *pName ? S_OK : E_OUTOFMEMORY;
    });
}

}  // namespace qv::db
