// Access latency on a small store (100 nodes), beside SQLite doing the same on the same data in
// the same run:
//   read access:  Open for reading, GetString, Close        vs a read transaction (one SELECT)
//   write access: Open for writing, SetString, Close        vs a write transaction (one UPDATE)
//                                                             with synchronous=FULL
// Goals: a read access at most 3 times SQLite's read transaction, a write access at most 2 times
// SQLite's write transaction.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "qvcommdb/db_manager.h"

namespace {

using qv::platform::Bstr;
using qv::platform::ComPtr;
using Clock = std::chrono::steady_clock;

constexpr int kNodes = 100;
constexpr double kSecondsPerFigure = 1.5;

// Accesses per second of `f`, run for about kSecondsPerFigure.
double PerSecond(const std::function<void(int)>& f) {
    for (int i = 0; i < 20; ++i) f(i);  // warm-up
    int n = 0;
    const auto t0 = Clock::now();
    double elapsed = 0;
    while (elapsed < kSecondsPerFigure) {
        for (int k = 0; k < 10; ++k) f(n++);
        elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    return n / elapsed;
}

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void Row(const char* what, double ours, double theirs, double goal) {
    const double ratio = theirs / ours;  // time per access, ours over theirs
    std::printf("%-16s %10.0f /s   sqlite %10.0f /s   %5.2f x sqlite's time   goal <= %.1f  %s\n", what, ours,
                theirs, ratio, goal, ratio <= goal ? "ok" : "MISSED");
}

}  // namespace

int main() {
    char dir_template[] = "/tmp/qvcommdb-access-XXXXXX";
    const std::string dir = mkdtemp(dir_template);
    const std::string store = dir + "/Access.xml";
    const std::string database = dir + "/access.sqlite";

    // The same data in both: 100 nodes with three values each.
    auto writer = ComPtr<qv::db::DBManager>::Share(qv::db::DBManager::Create());
    writer->Init(Bstr::FromAnsi(store).get());
    writer->SetAccessType(QVDB_Access_WRITE, nullptr);
    ComPtr<IDBNode> root;
    writer->CreateNode(Bstr::FromAnsi("QVCDB:QVCommDB").get(), root.out());
    root->Open(QVDB_Access_WRITE);
    sqlite3* db = nullptr;
    Check(sqlite3_open(database.c_str(), &db), db, "open");
    Check(sqlite3_exec(db, "PRAGMA synchronous=FULL; CREATE TABLE kv(node TEXT, name TEXT, value TEXT, "
                           "PRIMARY KEY(node, name)) WITHOUT ROWID;",
                       nullptr, nullptr, nullptr),
          db, "schema");
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO kv VALUES(?,?,?)", -1, &insert, nullptr);
    for (int i = 0; i < kNodes; ++i) {
        const std::string node_name = "node" + std::to_string(i);
        ComPtr<IDBNode> node;
        root->CreateNode(Bstr::FromAnsi(node_name).get(), node.out());
        for (const char* name : {"PATH", "name", "type"}) {
            const std::string value = std::string(name) + " of " + node_name + " with some text";
            node->SetString(Bstr::FromAnsi(name).get(), Bstr::FromAnsi(value).get());
            sqlite3_bind_text(insert, 1, node_name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, name, -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, value.c_str(), -1, SQLITE_TRANSIENT);
            Check(sqlite3_step(insert), db, "insert");
            sqlite3_reset(insert);
        }
    }
    sqlite3_finalize(insert);
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    root->Close();
    root.reset();
    writer.reset();

    // Ours.
    auto reader = ComPtr<qv::db::DBManager>::Share(qv::db::DBManager::Create());
    reader->Init(Bstr::FromAnsi(store).get());
    reader->SetAccessType(QVDB_Access_READ, nullptr);
    ComPtr<IDBNode> read_node;
    reader->CreateNode(Bstr::FromAnsi("node42").get(), read_node.out());
    const Bstr name = Bstr::FromAnsi("name");
    const double our_reads = PerSecond([&](int) {
        read_node->Open(QVDB_Access_READ);
        Bstr text;
        if (read_node->GetString(name.get(), text.out()) != S_OK) std::abort();
        read_node->Close();
    });
    auto updater = ComPtr<qv::db::DBManager>::Share(qv::db::DBManager::Create());
    updater->Init(Bstr::FromAnsi(store).get());
    updater->SetAccessType(QVDB_Access_WRITE, nullptr);
    ComPtr<IDBNode> write_node;
    updater->CreateNode(Bstr::FromAnsi("node42").get(), write_node.out());
    const double our_writes = PerSecond([&](int i) {
        write_node->Open(QVDB_Access_WRITE);
        write_node->SetString(name.get(), Bstr::FromAnsi("value " + std::to_string(i)).get());
        if (write_node->Close() != S_OK) std::abort();
    });

    // SQLite.
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT value FROM kv WHERE node=? AND name=?", -1, &select, nullptr);
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, "UPDATE kv SET value=? WHERE node=? AND name=?", -1, &update, nullptr);
    sqlite3_stmt* begin = nullptr;
    sqlite3_stmt* commit = nullptr;
    sqlite3_prepare_v2(db, "BEGIN", -1, &begin, nullptr);
    sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr);
    auto run = [&](sqlite3_stmt* s) {
        Check(sqlite3_step(s), db, "step");
        sqlite3_reset(s);
    };
    const double sqlite_reads = PerSecond([&](int) {
        run(begin);
        sqlite3_bind_text(select, 1, "node42", -1, SQLITE_STATIC);
        sqlite3_bind_text(select, 2, "name", -1, SQLITE_STATIC);
        if (sqlite3_step(select) != SQLITE_ROW) std::abort();
        std::string value(reinterpret_cast<const char*>(sqlite3_column_text(select, 0)));
        sqlite3_reset(select);
        run(commit);
    });
    const double sqlite_writes = PerSecond([&](int i) {
        run(begin);
        const std::string value = "value " + std::to_string(i);
        sqlite3_bind_text(update, 1, value.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 2, "node42", -1, SQLITE_STATIC);
        sqlite3_bind_text(update, 3, "name", -1, SQLITE_STATIC);
        run(update);
        run(commit);
    });
    for (sqlite3_stmt* s : {select, update, begin, commit}) sqlite3_finalize(s);
    sqlite3_close(db);

    std::printf("store of %d nodes (%ld bytes); SQLite: synchronous=FULL, rollback journal\n\n", kNodes,
                static_cast<long>(std::ifstream(store, std::ios::binary | std::ios::ate).tellg()));
    Row("read access", our_reads, sqlite_reads, 3.0);
    Row("write access", our_writes, sqlite_writes, 2.0);
    read_node.reset();
    write_node.reset();
    reader.reset();
    updater.reset();
    std::remove(store.c_str());
    std::remove(database.c_str());
    rmdir(dir.c_str());
    return 0;
}
