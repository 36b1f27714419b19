// DBNode: a named node of the tree with its values and children.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/ref_count.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_value.h"
#include "qvcommdb/intrusive_tree.h"
#include "qvcommdb/module.h"

namespace qv::db {

class DBManager;

enum class NodeState : uint8_t {
    Refused = 0,    // an open without the write bit was refused
    Deleted = 1,    // removed by DeleteNode; left out when the tree is saved
    New = 2,        // made by CreateNode, neither loaded nor opened since
    Loaded = 3,     // met by the last load of the store file
    Closed = 4,     // closed by Close or Cancel
    OpenRead = 5,   // opened with the read bit and without the write bit
    OpenWrite = 6,  // opened with the write bit
};

// Elements nest at most this deep in a store file (the root is level 1); the loader skips
// deeper ones, so nodes deeper than this are not made either.
inline constexpr int kMaxNodeDepth = 99;

// True when the text may be the name of a node or a value: the store file writes names
// unchanged, so only names that are XML names can be saved and loaded again.
bool IsValidName(std::string_view name);

class DBNode final : public IDBNode {
public:
    // A new node with a count of 1, the reference of whoever holds it in the tree.
    static DBNode* Create(std::string_view name, DBManager* manager, int depth);

    std::string_view name() const { return std::string_view(name_.get(), name_length_); }
    std::string_view TreeKey() const { return name(); }
    NodeState state() const { return state_; }
    void set_state(NodeState s) { state_ = s; }
    ULONG access() const { return access_; }
    DBManager* manager() const { return manager_; }
    int depth() const { return depth_; }

    const IntrusiveTree<DBValue>& values() const { return values_; }
    const IntrusiveTree<DBNode>& children() const { return children_; }

    DBNode* FindChild(std::string_view name) const { return children_.Find(name); }
    DBValue* FindValue(std::string_view name) const { return values_.Find(name); }
    // The child of that name, made when missing (borrowed). Fails with E_INVALIDARG for a
    // name that cannot be saved or a node deeper than kMaxNodeDepth.
    HRESULT GetOrMakeChild(std::string_view name, DBNode** child);
    // The value of that name, made with empty text when missing (borrowed).
    HRESULT GetOrMakeValue(std::string_view name, DBValue** value);
    // Sets the text of the value of that name, made when missing.
    HRESULT PutValue(std::string_view name, std::string_view text);
    // The path walk: the last node of the path, made as needed below this one (owned).
    HRESULT WalkPath(std::string_view path, DBNode** result);

    // Gives up the subtree at the manager's teardown: every descendant once, children
    // before their parent, and leaves this node without children or manager.
    void ReleaseSubtree();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDBNode
    HRESULT STDMETHODCALLTYPE GetName(BSTR* pName) override;
    HRESULT STDMETHODCALLTYPE GetValue(BSTR Name, IDBValue** ppValue) override;
    HRESULT STDMETHODCALLTYPE AddValue(BSTR Name, IDBValue** ppValue) override;
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR Path, IDBNode** ppNode) override;
    HRESULT STDMETHODCALLTYPE Open(ULONG AccessType) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE DeleteValue(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE Cancel() override;
    HRESULT STDMETHODCALLTYPE GetDWord(BSTR Name, ULONG* pVal) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR Name, BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE GetInterface(BSTR Name, IDBNode** ppVal) override;
    HRESULT STDMETHODCALLTYPE GetBlob(BSTR Name, ULONG* pSize, unsigned char** ppBlob) override;
    HRESULT STDMETHODCALLTYPE SetDWord(BSTR Name, ULONG Val) override;
    HRESULT STDMETHODCALLTYPE SetString(BSTR Name, BSTR Val) override;
    HRESULT STDMETHODCALLTYPE SetInterface(BSTR Name, IDBNode* ppVal) override;
    HRESULT STDMETHODCALLTYPE SetBlob(BSTR Name, ULONG Size, unsigned char* pBlob) override;
    HRESULT STDMETHODCALLTYPE EnumValues(IDBEnumNode** ppEnum) override;
    HRESULT STDMETHODCALLTYPE EnumChildren(IDBEnumNode** ppEnum) override;
    HRESULT STDMETHODCALLTYPE DeleteNode() override;

    // Links of the parent's map of children.
    DBNode* tree_left = nullptr;
    DBNode* tree_right = nullptr;

private:
    DBNode(std::string_view name, DBManager* manager, int depth);
    ~DBNode();

    IntrusiveTree<DBValue> values_;    // one reference to each value
    IntrusiveTree<DBNode> children_;   // one reference to each child
    DBManager* manager_;
    std::unique_ptr<char[]> name_;
    uint32_t name_length_;
    platform::RefCount refs_{1};

public:
    int8_t tree_height = 1;

private:
    uint8_t depth_;
    NodeState state_ = NodeState::New;
    ULONG access_ = 0;  // every access type the node was ever opened with
    [[no_unique_address]] ModuleObjectToken token_;
};

}  // namespace qv::db
