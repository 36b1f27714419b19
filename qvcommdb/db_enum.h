// DBEnumNode: walks the values or the children of a node in name order.
#pragma once

#include <string>

#include "platform/ref_count.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/module.h"

namespace qv::db {

class DBNode;

// The enumerator walks the node's live map, with no copy of it: its cursor is the name of the
// entry it handed out last, so entries added after the cursor are met and a removed entry
// cannot leave it dangling. It keeps the node alive while it exists.
class DBEnumNode final : public IDBEnumNode {
public:
    enum class Kind { Values, Children };
    // A new enumerator with a count of 1, owned by the caller.
    static DBEnumNode* Create(DBNode* node, Kind kind);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCount(ULONG* pCount) override;
    HRESULT STDMETHODCALLTYPE NextIUnknown(IUnknown** ppVal) override;
    HRESULT STDMETHODCALLTYPE Next(BSTR* pName) override;

private:
    DBEnumNode(DBNode* node, Kind kind);
    ~DBEnumNode();
    // The entry under the cursor, which then moves on; null at the end.
    IUnknown* Advance(std::string* name);

    DBNode* node_;
    Kind kind_;
    bool started_ = false;
    std::string last_;
    platform::RefCount refs_{1};
    ModuleObjectToken token_;
};

}  // namespace qv::db
