// The store file's text: composing it from a tree and merging it into one.
//
// The file is the header line "<?xml version=\"1.0\" ?>" and one element per node that is
// not deleted, two blanks of indent per level, every value an attribute of its node's
// element, values and children in name order, line feeds only.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "qvcomm/com_types.h"

namespace qv::db {

class DBManager;
class DBNode;

inline constexpr char kStoreHeader[] = "<?xml version=\"1.0\" ?>\n";

// A growing byte buffer that hands out room to write into, without clearing it first.
class TextBuffer {
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    ~TextBuffer() { std::free(data_); }

    const char* data() const { return data_; }
    size_t size() const { return size_; }
    std::string_view view() const { return std::string_view(data_, size_); }
    void Reserve(size_t capacity);
    // Room for n more bytes at the end; the size grows by n.
    char* Extend(size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        char* p = data_ + size_;
        size_ += n;
        return p;
    }
    void Append(std::string_view s) {
        if (!s.empty()) std::memcpy(Extend(s.size()), s.data(), s.size());
    }
    void Truncate(size_t size) { size_ = size; }

private:
    void Grow(size_t n);
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Builds the element text of one node and its subtree at an indent level.
class XmlWriter {
public:
    explicit XmlWriter(TextBuffer* out, int level = 0) : out_(out), level_(level) {}
    // Appends the element of `node` and its subtree; false when the node is deleted and
    // nothing was written.
    bool WriteNode(const DBNode& node);

private:
    void AppendEscaped(std::string_view text);
    TextBuffer* out_;
    int level_;
};

// The whole file text for the manager's tree: the header line and the root's element.
// False when there is no root or the root is deleted.
bool ComposeStoreText(const DBManager& manager, TextBuffer* out);
// The same, appended to a string.
bool ComposeStoreText(const DBManager& manager, std::string* out);

// What a load of the file this tree was saved to would do to the nodes' states: every node the
// file holds (not deleted, nor below a deleted node) becomes Loaded.
void MarkWrittenNodesLoaded(DBNode& root);

// Merges a store file's text into the manager's tree: nodes and values met are made or
// overwritten, nodes met become Loaded, nothing is removed. S_OK, or QVDB_E_LOADFAILED for a
// document that is not well formed (what was merged before the fault stays).
HRESULT MergeStoreText(DBManager& manager, const char* data, size_t size);

}  // namespace qv::db
