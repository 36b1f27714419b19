#include "qvcommdb/store_format.h"

#include <cstring>
#include <new>

#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/db_node.h"
#include "qvcommdb/xml_parser.h"

namespace qv::db {

namespace {

// What a byte of a value text becomes in an attribute: 0 copies it, 1 to 4 name an entity,
// 5 writes a character reference.
struct EscapeTable {
    uint8_t c[256];
    constexpr EscapeTable() : c() {
        for (int b = 1; b < 0x20; ++b) c[b] = 5;
        c[0] = 6;  // never in a text; dropped
        c[static_cast<unsigned char>('"')] = 1;
        c[static_cast<unsigned char>('&')] = 2;
        c[static_cast<unsigned char>('<')] = 3;
        c[static_cast<unsigned char>('>')] = 4;
    }
};
constexpr EscapeTable kEscape;

}  // namespace

void TextBuffer::Reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    char* grown = static_cast<char*>(std::realloc(data_, capacity));
    if (!grown) throw std::bad_alloc();
    data_ = grown;
    capacity_ = capacity;
}

void TextBuffer::Grow(size_t n) {
    size_t capacity = capacity_ < 4096 ? 4096 : capacity_;
    while (capacity - size_ < n) capacity *= 2;
    Reserve(capacity);
}

void XmlWriter::AppendEscaped(std::string_view text) {
    // Room for the longest form, a six-byte reference for every byte; the unused rest is cut.
    const size_t start = out_->size();
    char* q = out_->Extend(text.size() * 6);
    char* const begin = q;
    const char* p = text.data();
    const char* const e = p + text.size();
    while (p < e) {
        // Copy the run of plain bytes, then write the one reference that ends it.
        const char* run = p;
        while (p < e && kEscape.c[static_cast<unsigned char>(*p)] == 0) ++p;
        std::memcpy(q, run, static_cast<size_t>(p - run));
        q += p - run;
        if (p == e) break;
        const unsigned char b = static_cast<unsigned char>(*p++);
        switch (kEscape.c[b]) {
            case 1: std::memcpy(q, "&quot;", 6), q += 6; break;
            case 2: std::memcpy(q, "&amp;", 5), q += 5; break;
            case 3: std::memcpy(q, "&lt;", 4), q += 4; break;
            case 4: std::memcpy(q, "&gt;", 4), q += 4; break;
            case 5: {
                static const char kHex[] = "0123456789ABCDEF";
                const char ref[6] = {'&', '#', 'x', kHex[b >> 4], kHex[b & 15], ';'};
                std::memcpy(q, ref, 6);
                q += 6;
                break;
            }
            default: break;
        }
    }
    out_->Truncate(start + static_cast<size_t>(q - begin));
}

bool XmlWriter::WriteNode(const DBNode& node) {
    if (node.state() == NodeState::Deleted) return false;
    TextBuffer& out = *out_;
    const std::string_view name = node.name();
    const size_t indent = static_cast<size_t>(level_) * 2;
    char* p = out.Extend(indent + 1 + name.size());
    std::memset(p, ' ', indent);
    p[indent] = '<';
    std::memcpy(p + indent + 1, name.data(), name.size());
    node.values().ForEach([&](const DBValue* v) {
        const std::string_view value_name = v->name();
        char* q = out.Extend(value_name.size() + 3);
        q[0] = ' ';
        std::memcpy(q + 1, value_name.data(), value_name.size());
        q[value_name.size() + 1] = '=';
        q[value_name.size() + 2] = '"';
        if (v->text_needs_escape())
            AppendEscaped(v->text());
        else
            out.Append(v->text());
        *out.Extend(1) = '"';
    });
    // The children go straight into the same text after a tentative ">"; when none of them
    // was written the ">" becomes "/>". Same bytes as composing them apart, without copies.
    const size_t mark = out.size();
    out.Append(">\n");
    XmlWriter child_writer(out_, level_ + 1);
    bool wrote_child = false;
    node.children().ForEach([&](const DBNode* c) { wrote_child |= child_writer.WriteNode(*c); });
    if (wrote_child) {
        p = out.Extend(indent + 2 + name.size() + 2);
        std::memset(p, ' ', indent);
        std::memcpy(p + indent, "</", 2);
        std::memcpy(p + indent + 2, name.data(), name.size());
        std::memcpy(p + indent + 2 + name.size(), ">\n", 2);
    } else {
        out.Truncate(mark);
        out.Append("/>\n");
    }
    return true;
}

bool ComposeStoreText(const DBManager& manager, TextBuffer* out) {
    const DBNode* root = manager.root();
    if (!root || root->state() == NodeState::Deleted) return false;
    // One allocation of about the right size: no growth copies, and memory the allocator
    // has handed out before rather than fresh pages.
    out->Reserve(out->size() + manager.text_size_hint() + manager.text_size_hint() / 16 + 4096);
    const size_t start = out->size();
    out->Append(kStoreHeader);
    XmlWriter writer(out, 0);
    writer.WriteNode(*root);
    manager.set_text_size_hint(out->size() - start);
    return true;
}

bool ComposeStoreText(const DBManager& manager, std::string* out) {
    TextBuffer buffer;
    if (!ComposeStoreText(manager, &buffer)) return false;
    out->append(buffer.view());
    return true;
}

namespace {

constexpr int kStackSize = 100;

// The state of one load, handed to every parser callback.
struct LoadContext {
    xml::XmlParser* parser = nullptr;
    int depth = 0;  // elements open in the document; 0 outside the top element
    DBManager* manager = nullptr;
    DBNode* current = nullptr;
    DBNode* stack[kStackSize] = {};  // entry 0 stays empty
};

void IgnoreStart(void*, const char*, const char**) {}
void IgnoreEnd(void*, const char*) {}
void OnCharacterData(void*, const char*, int) {}

bool EqualsRootNameIgnoringCase(std::string_view name) {
    const std::string_view root(kRootNodeName);
    if (name.size() != root.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char a = name[i], b = root[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

void OnStartElement(void* user, const char* name, const char** attributes) {
    auto* ctx = static_cast<LoadContext*>(user);
    if (ctx->depth >= kStackSize - 1) {
        // Would lie 100 levels deep or deeper: the rest of the document is not loaded.
        ctx->parser->SetElementHandlers(IgnoreStart, IgnoreEnd);
        return;
    }
    ++ctx->depth;
    const std::string_view element(name);
    DBNode* node = nullptr;
    if (ctx->depth == 1) {
        if (!EqualsRootNameIgnoringCase(element)) {
            // Not a store file: nothing of it is loaded.
            ctx->parser->SetElementHandlers(IgnoreStart, IgnoreEnd);
            return;
        }
        DBNode* root = ctx->manager->GetOrMakeRoot();
        if (element == kRootNodeName)
            node = root;
        else if (FAILED(root->GetOrMakeChild(element, &node)))
            node = nullptr;
    } else if (ctx->current) {
        if (FAILED(ctx->current->GetOrMakeChild(element, &node))) node = nullptr;
    }
    // An element whose node cannot be made is skipped with everything inside it, rather
    // than merged into the node around it.
    ctx->current = node;
    ctx->stack[ctx->depth] = node;
    if (!node) return;
    node->set_state(NodeState::Loaded);
    for (const char** a = attributes; a[0] && a[1]; a += 2) node->PutValue(a[0], a[1]);
}

void OnEndElement(void* user, const char*) {
    auto* ctx = static_cast<LoadContext*>(user);
    if (ctx->depth == 0) return;
    --ctx->depth;
    ctx->current = ctx->stack[ctx->depth];
}

}  // namespace

void MarkWrittenNodesLoaded(DBNode& node) {
    if (node.state() == NodeState::Deleted) return;
    node.set_state(NodeState::Loaded);
    node.children().ForEach([](DBNode* c) { MarkWrittenNodesLoaded(*c); });
}

HRESULT MergeStoreText(DBManager& manager, const char* data, size_t size) {
    auto parser = xml::XmlParser::Create("ISO-8859-1");
    if (!parser) return QVDB_E_LOADFAILED;
    LoadContext ctx;
    ctx.parser = parser.get();
    ctx.manager = &manager;
    parser->SetUserData(&ctx);
    parser->SetElementHandlers(OnStartElement, OnEndElement);
    parser->SetCharacterDataHandler(OnCharacterData);
    parser->SetEncoding("ISO-8859-1");
    if (size > manager.text_size_hint()) manager.set_text_size_hint(size);
    return parser->Parse(data, size) ? S_OK : QVDB_E_LOADFAILED;
}

}  // namespace qv::db
