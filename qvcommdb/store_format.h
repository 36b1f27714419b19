// The store file's text: composing it from a tree and merging it into one.
//
// The file is the header line "<?xml version=\"1.0\" ?>" and one element per node that is
// not deleted, two blanks of indent per level, every value an attribute of its node's
// element, values and children in name order, line feeds only.
#pragma once

#include <cstddef>
#include <string>

#include "qvcomm/com_types.h"

namespace qv::db {

class DBManager;
class DBNode;

inline constexpr char kStoreHeader[] = "<?xml version=\"1.0\" ?>\n";

// Builds the element text of one node and its subtree at an indent level.
class XmlWriter {
public:
    explicit XmlWriter(std::string* out, int level = 0) : out_(out), level_(level) {}
    // Appends the element of `node` and its subtree; false when the node is deleted and
    // nothing was written.
    bool WriteNode(const DBNode& node);

private:
    void Indent(int level);
    void AppendEscaped(std::string_view text);
    std::string* out_;
    int level_;
};

// The whole file text for the manager's tree, appended to `out` after the header line.
// False when there is no root or the root is deleted.
bool ComposeStoreText(const DBManager& manager, std::string* out);

// Merges a store file's text into the manager's tree: nodes and values met are made or
// overwritten, nodes met become Loaded, nothing is removed. S_OK, or QVDB_E_LOADFAILED for a
// document that is not well formed (what was merged before the fault stays).
HRESULT MergeStoreText(DBManager& manager, const char* data, size_t size);

}  // namespace qv::db
