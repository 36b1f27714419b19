// Fuzzes the load path: any bytes merged into a tree must leave a tree whose composed text
// loads again, into the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/com_ptr.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/store_format.h"
#include "qvcommdb/xml_parser.h"

namespace {

using qv::db::DBManager;
using qv::platform::ComPtr;

ComPtr<DBManager> NewManager() { return ComPtr<DBManager>::Share(DBManager::Create()); }

struct Counter {
    size_t events = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);

    // The bare parser with every callback set.
    Counter counter;
    auto parser = qv::xml::XmlParser::Create("ISO-8859-1");
    parser->SetUserData(&counter);
    parser->SetElementHandlers(
        [](void* u, const char* name, const char** attrs) {
            auto* c = static_cast<Counter*>(u);
            c->events += name[0] != 0;
            for (; attrs[0]; attrs += 2) c->events += attrs[1][0] != 0;
        },
        [](void* u, const char*) { ++static_cast<Counter*>(u)->events; });
    parser->SetCharacterDataHandler([](void* u, const char*, int n) {
        if (n <= 0) std::abort();
        ++static_cast<Counter*>(u)->events;
    });
    parser->Parse(text, size);

    // The load into a tree, then a save and a load of what was loaded.
    auto manager = NewManager();
    qv::db::MergeStoreText(*manager, text, size);
    std::string composed;
    if (qv::db::ComposeStoreText(*manager, &composed)) {
        auto again = NewManager();
        if (qv::db::MergeStoreText(*again, composed.data(), composed.size()) != S_OK) std::abort();
        std::string recomposed;
        if (!qv::db::ComposeStoreText(*again, &recomposed) || recomposed != composed) std::abort();
    }
    return 0;
}
