// qvcommdb-dump: prints the tree of a store file, nodes indented, values with their texts.
//
//   qvcommdb-dump [FILE]    the file named, else the machine's default store
//
// The file is read as it is, without the store's mutex: the tool never changes it. It says so
// clearly when the file does not load, and exits with status 1.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/com_ptr.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/shared_store.h"
#include "qvcommdb/store_format.h"
#include "qvcommdb/xml_parser.h"

namespace {

void Print(const qv::db::DBNode& node, int level) {
    std::printf("%*s%.*s\n", level * 2, "", static_cast<int>(node.name().size()), node.name().data());
    node.values().ForEach([&](const qv::db::DBValue* v) {
        std::printf("%*s%.*s = \"%.*s\"\n", level * 2 + 2, "", static_cast<int>(v->name().size()), v->name().data(),
                    static_cast<int>(v->text().size()), v->text().data());
    });
    node.children().ForEach([&](const qv::db::DBNode* c) { Print(*c, level + 1); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::fprintf(stderr, "usage: qvcommdb-dump [FILE]\n");
        return 2;
    }
    const std::string path = argc == 2 ? argv[1] : qv::db::DefaultStorePath();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qvcommdb-dump: %s: cannot open the file\n", path.c_str());
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) {
        std::fprintf(stderr, "qvcommdb-dump: %s: the file is empty; it does not load\n", path.c_str());
        return 1;
    }
    // The parser once more, for the place of a fault.
    auto parser = qv::xml::XmlParser::Create("ISO-8859-1");
    if (!parser->Parse(text.data(), text.size())) {
        std::fprintf(stderr, "qvcommdb-dump: %s: line %d, column %d: %s; the file does not load\n", path.c_str(),
                     parser->error_line(), parser->error_column(), qv::xml::XmlErrorText(parser->error()));
        return 1;
    }
    auto manager = qv::platform::ComPtr<qv::db::DBManager>::Share(qv::db::DBManager::Create());
    qv::db::MergeStoreText(*manager, text.data(), text.size());
    if (!manager->root()) {
        std::fprintf(stderr, "qvcommdb-dump: %s: no store in the file (its top element is not %s)\n", path.c_str(),
                     qv::db::kRootNodeName);
        return 1;
    }
    Print(*manager->root(), 0);
    return 0;
}
