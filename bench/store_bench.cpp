// Store file benchmark: a generated store of about 100,000 nodes and 300,000 values.
//
// Prints, each as the best of several runs:
//   expat parse with empty handlers (the reference),
//   our parser with empty handlers             (goal: at most 0.5 of the reference),
//   a full load into a fresh manager's tree     (goal: at most 1.5 of the reference),
//   a full save: compose and one write          (goal: at most 2 of one plain write of the bytes),
//   the memory of the loaded tree               (goal: at most 4 times the file size).
#include <expat.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/com_ptr.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/store_format.h"
#include "qvcommdb/xml_parser.h"

namespace {

using qv::db::DBManager;
using qv::db::DBNode;
using qv::platform::ComPtr;
using Clock = std::chrono::steady_clock;

constexpr int kSections = 1000;
constexpr int kItemsPerSection = 99;  // 1 + 1000 * (1 + 99) = 100,001 nodes
constexpr int kRuns = 7;

// Builds the tree through the internal operations (the same ones the loader uses).
void BuildTree(DBManager& manager) {
    DBNode* root = manager.GetOrMakeRoot();
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    char name[32], text[96];
    for (int s = 0; s < kSections; ++s) {
        DBNode* section = nullptr;
        std::snprintf(name, sizeof name, "section%04d", s);
        root->GetOrMakeChild(name, &section);
        for (int i = 0; i <= kItemsPerSection; ++i) {
            DBNode* node = section;
            if (i > 0) {
                std::snprintf(name, sizeof name, "item%03d", i);
                section->GetOrMakeChild(name, &node);
            }
            qv::db::DBValue* v = nullptr;
            node->GetOrMakeValue("PATH", &v);
            std::snprintf(text, sizeof text, "C:\\Program Files\\Quorvex\\plugins\\mod%08X.dll", next());
            v->SetText(text);
            node->GetOrMakeValue("name", &v);
            std::snprintf(text, sizeof text, "Component \"%u\" <%u> & more", next() % 100000, next() % 1000);
            v->SetText(text);
            node->GetOrMakeValue("type", &v);
            std::snprintf(text, sizeof text, "qv.class.%u", next() % 100000);
            v->SetText(text);
        }
    }
}

double BestSeconds(const std::function<void()>& f) {
    double best = 1e9;
    for (int r = 0; r < kRuns; ++r) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void WriteWhole(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::perror("write");
        std::exit(1);
    }
    ::close(fd);
}

void Row(const char* what, double seconds, double reference, double goal, const char* of) {
    const double ratio = seconds / reference;
    std::printf("%-44s %9.2f ms   %5.2f x %-18s goal <= %.2f  %s\n", what, seconds * 1e3, ratio, of, goal,
                ratio <= goal ? "ok" : "MISSED");
}

}  // namespace

int main() {
    std::string text;
    size_t nodes = 0, values = 0;
    {
        auto manager = ComPtr<DBManager>::Share(DBManager::Create());
        BuildTree(*manager);
        qv::db::ComposeStoreText(*manager, &text);
    }
    for (size_t i = text.find('\n'); i + 1 < text.size(); ++i) {
        if (text[i] == '<' && text[i + 1] != '/' && text[i + 1] != '?') ++nodes;
        if (text[i] == '=' && text[i + 1] == '"') ++values;
    }
    char dir_template[] = "/tmp/qvcommdb-bench-XXXXXX";
    const std::string dir = mkdtemp(dir_template);
    const std::string path = dir + "/Bench.xml";
    WriteWhole(path, text);
    std::printf("store: %zu nodes, %zu values, %.1f MB (%zu bytes)\n\n", nodes, values, text.size() / 1e6,
                text.size());

    const double expat = BestSeconds([&] {
        XML_Parser p = XML_ParserCreate("ISO-8859-1");
        XML_SetElementHandler(p, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
        XML_SetCharacterDataHandler(p, [](void*, const XML_Char*, int) {});
        if (XML_Parse(p, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK) std::abort();
        XML_ParserFree(p);
    });
    const double ours = BestSeconds([&] {
        auto p = qv::xml::XmlParser::Create("ISO-8859-1");
        p->SetElementHandlers([](void*, const char*, const char**) {}, [](void*, const char*) {});
        p->SetCharacterDataHandler([](void*, const char*, int) {});
        if (!p->Parse(text.data(), text.size())) std::abort();
    });
    const double load = BestSeconds([&] {
        auto m = ComPtr<DBManager>::Share(DBManager::Create());
        if (qv::db::MergeStoreText(*m, text.data(), text.size()) != S_OK) std::abort();
    });

    auto loaded = ComPtr<DBManager>::Share(DBManager::Create());
    qv::db::MergeStoreText(*loaded, text.data(), text.size());
    const double plain_write = BestSeconds([&] { WriteWhole(path, text); });
    const double save = BestSeconds([&] {
        qv::db::TextBuffer out;
        qv::db::ComposeStoreText(*loaded, &out);
        WriteWhole(path, std::string_view(out.view()));
    });
    const double compose = BestSeconds([&] {
        qv::db::TextBuffer out;
        qv::db::ComposeStoreText(*loaded, &out);
    });
    loaded.reset();

    malloc_trim(0);
    const size_t before = HeapInUse();
    auto measured = ComPtr<DBManager>::Share(DBManager::Create());
    qv::db::MergeStoreText(*measured, text.data(), text.size());
    const size_t tree_bytes = HeapInUse() - before;

    std::printf("%-44s %9.2f ms   (reference)\n", "expat parse, empty handlers", expat * 1e3);
    Row("our parser, empty handlers", ours, expat, 0.5, "expat");
    Row("full load into a fresh manager's tree", load, expat, 1.5, "expat");
    std::printf("%-44s %9.2f ms   (reference)\n", "one plain write of the same bytes", plain_write * 1e3);
    Row("full save: compose and one write", save, plain_write, 2.0, "plain write");
    std::printf("%-44s %9.2f ms\n", "  of which composing the text", compose * 1e3);
    const double mem_ratio = static_cast<double>(tree_bytes) / static_cast<double>(text.size());
    std::printf("%-44s %9.1f MB   %5.2f x %-18s goal <= %.2f  %s\n", "memory of the loaded tree", tree_bytes / 1e6,
                mem_ratio, "file size", 4.0, mem_ratio <= 4.0 ? "ok" : "MISSED");
    std::printf("\nparse throughput: expat %.0f MB/s, ours %.0f MB/s\n", text.size() / expat / 1e6,
                text.size() / ours / 1e6);
    if (std::getenv("QV_BENCH_KEEP")) std::printf("kept %s\n", path.c_str()); else unlink(path.c_str());
    if (!std::getenv("QV_BENCH_KEEP")) rmdir(dir.c_str());
    return 0;
}
