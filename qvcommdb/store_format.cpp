#include "qvcommdb/store_format.h"

#include <cstring>

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

void XmlWriter::Indent(int level) { out_->append(static_cast<size_t>(level) * 2, ' '); }

void XmlWriter::AppendEscaped(std::string_view text) {
    std::string& out = *out_;
    out.reserve(out.size() + text.size());
    const char* p = text.data();
    const char* const e = p + text.size();
    while (p < e) {
        const char* run = p;
        while (p < e && kEscape.c[static_cast<unsigned char>(*p)] == 0) ++p;
        out.append(run, static_cast<size_t>(p - run));
        if (p == e) break;
        const unsigned char b = static_cast<unsigned char>(*p++);
        switch (kEscape.c[b]) {
            case 1: out.append("&quot;"); break;
            case 2: out.append("&amp;"); break;
            case 3: out.append("&lt;"); break;
            case 4: out.append("&gt;"); break;
            case 5: {
                static const char kHex[] = "0123456789ABCDEF";
                const char ref[6] = {'&', '#', 'x', kHex[b >> 4], kHex[b & 15], ';'};
                out.append(ref, sizeof ref);
                break;
            }
            default: break;
        }
    }
}

bool XmlWriter::WriteNode(const DBNode& node) {
    if (node.state() == NodeState::Deleted) return false;
    std::string& out = *out_;
    Indent(level_);
    out.push_back('<');
    out.append(node.name());
    node.values().ForEach([&](const DBValue* v) {
        out.push_back(' ');
        out.append(v->name());
        out.append("=\"");
        AppendEscaped(v->text());
        out.push_back('"');
    });
    // The children go straight into the same text after a tentative ">"; when none of them
    // was written the ">" becomes "/>". Same bytes as composing them apart, without copies.
    const size_t mark = out.size();
    out.append(">\n");
    XmlWriter child_writer(out_, level_ + 1);
    bool wrote_child = false;
    node.children().ForEach([&](const DBNode* c) { wrote_child |= child_writer.WriteNode(*c); });
    if (wrote_child) {
        Indent(level_);
        out.append("</");
        out.append(node.name());
        out.append(">\n");
    } else {
        out.resize(mark);
        out.append("/>\n");
    }
    return true;
}

bool ComposeStoreText(const DBManager& manager, std::string* out) {
    const DBNode* root = manager.root();
    if (!root || root->state() == NodeState::Deleted) return false;
    out->append(kStoreHeader);
    XmlWriter writer(out, 0);
    writer.WriteNode(*root);
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
    for (const char** a = attributes; a[0] && a[1]; a += 2) {
        DBValue* value = nullptr;
        if (SUCCEEDED(node->GetOrMakeValue(a[0], &value))) value->SetText(a[1]);
    }
}

void OnEndElement(void* user, const char*) {
    auto* ctx = static_cast<LoadContext*>(user);
    if (ctx->depth == 0) return;
    --ctx->depth;
    ctx->current = ctx->stack[ctx->depth];
}

}  // namespace

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
    return parser->Parse(data, size) ? S_OK : QVDB_E_LOADFAILED;
}

}  // namespace qv::db
