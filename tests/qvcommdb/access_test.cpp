#include <chrono>
#include <thread>
#include <vector>

#include "platform/filesystem.h"
#include "qvcommdb/shared_store.h"
#include "store_fixture.h"

namespace qv::test {
namespace {

using AccessTest = StoreTest;

constexpr char kHeader[] = "<?xml version=\"1.0\" ?>\n";

TEST_F(AccessTest, WriteOpenOfANewNodeSavesItWithItsAncestorsAtTheOutermostClose) {
    auto m = Manager(QVDB_Access_WRITE);
    auto node = Node(m.get(), "a/b");
    ASSERT_EQ(node->Open(QVDB_Access_WRITE), S_OK);
    node->SetString(S("v").get(), S("1").get());
    auto other = Node(m.get(), "c");
    ASSERT_EQ(other->Open(QVDB_Access_WRITE), S_OK);  // nested: nothing written yet
    EXPECT_EQ(m->open_nesting(), 2);
    ASSERT_EQ(other->Close(), S_OK);
    EXPECT_EQ(FileText(), "");
    ASSERT_EQ(node->Close(), S_OK);
    EXPECT_EQ(FileText(), std::string(kHeader) +
                              "<QVCDB:QVCommDB>\n  <a>\n    <b v=\"1\"/>\n  </a>\n  <c/>\n</QVCDB:QVCommDB>\n");
    EXPECT_EQ(static_cast<db::DBNode*>(node.get())->state(), db::NodeState::Closed);
}

TEST_F(AccessTest, ReadOpenOfANodeNotInTheFileIsRefusedOnce) {
    Prepare([](db::DBManager*) {});
    auto m = Manager(QVDB_Access_READ);
    auto node = Node(m.get(), "fresh");
    EXPECT_EQ(node->Open(QVDB_Access_READ), E_INVALIDARG);
    EXPECT_EQ(m->open_nesting(), 0);
    EXPECT_EQ(node->Open(QVDB_Access_READ), S_OK);  // now Refused, which does not refuse
    EXPECT_EQ(m->open_nesting(), 1);
    EXPECT_EQ(node->Close(), S_OK);
}

TEST_F(AccessTest, CancelSavesLikeClose) {
    Prepare([](db::DBManager*) {});
    auto m = Manager(QVDB_Access_WRITE);
    auto root = Node(m.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
    root->SetString(S("k").get(), S("v").get());
    ASSERT_EQ(root->Cancel(), S_OK);
    EXPECT_EQ(FileText(), std::string(kHeader) + "<QVCDB:QVCommDB k=\"v\"/>\n");
}

TEST_F(AccessTest, DeletedNodeStaysInMemoryAndComesBackWithAWriteOpen) {
    Prepare([](db::DBManager* m) {
        auto n = Node(m, "gone");
        n->SetString(S("old").get(), S("value").get());
        Node(m, "gone/child");
    });
    auto m = Manager(QVDB_Access_WRITE);
    auto never_opened = Node(m.get(), "other");
    EXPECT_EQ(never_opened->DeleteNode(), E_INVALIDARG);
    auto gone = Node(m.get(), "gone");
    ASSERT_EQ(gone->Open(QVDB_Access_WRITE), S_OK);
    ASSERT_EQ(gone->DeleteNode(), S_OK);  // takes the place of Close
    EXPECT_EQ(m->open_nesting(), 0);
    // Left out with its child; the node made in memory only is saved like any other.
    EXPECT_EQ(FileText(), std::string(kHeader) + "<QVCDB:QVCommDB>\n  <other/>\n</QVCDB:QVCommDB>\n");
    // Still listed and counted by its parent, and the same node by its path.
    auto root = Node(m.get(), "QVCDB:QVCommDB");
    ComPtr<IDBEnumNode> e;
    ASSERT_EQ(root->EnumChildren(e.out()), S_OK);
    ULONG count = 0;
    e->GetCount(&count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Node(m.get(), "gone").get(), gone.get());
    EXPECT_EQ(gone->Open(QVDB_Access_READ), E_INVALIDARG);
    ASSERT_EQ(gone->Open(QVDB_Access_WRITE), S_OK);
    ASSERT_EQ(gone->Close(), S_OK);
    EXPECT_NE(FileText().find("<gone old=\"value\"/>"), std::string::npos) << FileText();
}

TEST_F(AccessTest, AReaderIsGrantedAWriteRequestOnlyWithTheReadBitAndNeverWrites) {
    Prepare([](db::DBManager* m) { Node(m, "x")->SetString(S("v").get(), S("1").get()); });
    const std::string before = FileText();
    auto m = Manager(QVDB_Access_READ);
    auto x = Node(m.get(), "x");
    EXPECT_EQ(x->Open(QVDB_Access_WRITE), E_FAIL);
    ASSERT_EQ(x->Open(QVDB_Access_READ | QVDB_Access_WRITE), S_OK);
    x->SetString(S("v").get(), S("changed").get());
    ASSERT_EQ(x->Close(), S_OK);
    EXPECT_EQ(FileText(), before);
    auto none = Manager(0);
    EXPECT_EQ(Node(none.get(), "x")->Open(QVDB_Access_READ), E_FAIL);
}

TEST_F(AccessTest, AWriterGainsTheBitsItIsAskedFor) {
    Prepare([](db::DBManager*) {});
    auto m = Manager(QVDB_Access_WRITE);
    auto n = Node(m.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(n->Open(QVDB_Access_READ), S_OK);  // shares no bit: the writer takes it
    EXPECT_EQ(m->access_type(), ULONG{QVDB_Access_READ | QVDB_Access_WRITE});
    EXPECT_EQ(n->Close(), S_OK);
}

TEST_F(AccessTest, MalformedStoreFailsAReadOpenAndLetsAWriteOpenGoOn) {
    WriteFile(path_, "<QVCDB:QVCommDB><broken></QVCDB:QVCommDB>");
    auto reader = Manager(QVDB_Access_READ);
    EXPECT_EQ(Node(reader.get(), "QVCDB:QVCommDB")->Open(QVDB_Access_READ), QVDB_E_LOADFAILED);
    EXPECT_EQ(reader->open_nesting(), 0);
    auto writer = Manager(QVDB_Access_WRITE);
    auto root = Node(writer.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
    ASSERT_EQ(root->Close(), S_OK);
    EXPECT_EQ(FileText(), std::string(kHeader) + "<QVCDB:QVCommDB>\n  <broken/>\n</QVCDB:QVCommDB>\n");
}

TEST_F(AccessTest, ASaveRewritesTheWholeFileEvenWhenNothingChanged) {
    Prepare([](db::DBManager*) {});
    WriteFile(path_, std::string(kHeader) + "<QVCDB:QVCommDB/>\n<!-- a long comment after the element -->\n");
    auto m = Manager(QVDB_Access_WRITE);
    auto root = Node(m.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
    ASSERT_EQ(root->Close(), S_OK);
    EXPECT_EQ(FileText(), std::string(kHeader) + "<QVCDB:QVCommDB/>\n");
}

std::vector<std::pair<ULONG, ULONG>> g_protection_calls;
int STDMETHODCALLTYPE RecordProtection(ULONG what, ULONG on) {
    g_protection_calls.emplace_back(what, on);
    return 0;
}

TEST_F(AccessTest, ProtectionRoutineBracketsTheOpeningAndTheWritingForWritersOnly) {
    g_protection_calls.clear();
    auto writer = Manager(QVDB_Access_WRITE, reinterpret_cast<void*>(&RecordProtection));
    auto root = Node(writer.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
    EXPECT_EQ(g_protection_calls, (std::vector<std::pair<ULONG, ULONG>>{{0x40000, 0}, {0x40000, 1}}));
    ASSERT_EQ(root->Close(), S_OK);
    EXPECT_EQ(g_protection_calls.size(), 4u);
    EXPECT_EQ(g_protection_calls[2], (std::pair<ULONG, ULONG>{0x40000, 0}));
    EXPECT_EQ(g_protection_calls[3], (std::pair<ULONG, ULONG>{0x40000, 1}));
    g_protection_calls.clear();
    auto reader = Manager(QVDB_Access_READ, reinterpret_cast<void*>(&RecordProtection));
    auto r = Node(reader.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(r->Open(QVDB_Access_READ), S_OK);
    ASSERT_EQ(r->Close(), S_OK);
    EXPECT_TRUE(g_protection_calls.empty());
}

// Two managers of one store used by one thread nest their accesses: the thread holds the mutex
// again at once, and the file is shared with readers only.
TEST_F(AccessTest, ManagersOfOneThreadNestAndShareTheFileWithReadersOnly) {
    Prepare([](db::DBManager*) {});
    const HRESULT sharing_violation = static_cast<HRESULT>(0x80070020u);
    struct Case {
        ULONG first, second;
        HRESULT second_result;
    } cases[] = {
        {QVDB_Access_READ, QVDB_Access_READ, S_OK},
        {QVDB_Access_READ, QVDB_Access_WRITE, sharing_violation},
        {QVDB_Access_WRITE, QVDB_Access_READ, sharing_violation},
        {QVDB_Access_WRITE, QVDB_Access_WRITE, sharing_violation},
    };
    for (const auto& c : cases) {
        auto a = Manager(c.first), b = Manager(c.second);
        auto ra = Node(a.get(), "QVCDB:QVCommDB"), rb = Node(b.get(), "QVCDB:QVCommDB");
        ASSERT_EQ(ra->Open(c.first), S_OK);
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(rb->Open(c.second), c.second_result) << c.first << " " << c.second;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
        if (c.second_result == S_OK) {
            EXPECT_EQ(rb->Close(), S_OK);
        }
        EXPECT_EQ(ra->Close(), S_OK);
        // The mutex is free again for another thread.
        std::thread([&] {
            auto m = Manager(QVDB_Access_READ);
            auto r = Node(m.get(), "QVCDB:QVCommDB");
            EXPECT_EQ(r->Open(QVDB_Access_READ), S_OK);
            EXPECT_EQ(r->Close(), S_OK);
        }).join();
    }
}

TEST_F(AccessTest, AnotherThreadWaitsASecondThenFailsAtOnceUntilTheMutexIsFree) {
    Prepare([](db::DBManager*) {});
    CaptureFile reports("QV_REPORT_FILE");
    auto holder = Manager(QVDB_Access_WRITE);
    auto held = Node(holder.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(held->Open(QVDB_Access_WRITE), S_OK);
    auto waiter = Manager(QVDB_Access_READ);
    std::thread([&] {
        auto root = Node(waiter.get(), "QVCDB:QVCommDB");
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(root->Open(QVDB_Access_READ), E_ACCESSDENIED);
        const auto waited = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(waited, std::chrono::milliseconds(900));
        EXPECT_LT(waited, std::chrono::milliseconds(3000));
        t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(root->Open(QVDB_Access_READ), E_ACCESSDENIED);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
    }).join();
    EXPECT_EQ(reports.Read(), "0xC0001391 Timeout on QVCommDB mutex\n");
    ASSERT_EQ(held->Close(), S_OK);
    std::thread([&] {
        auto root = Node(waiter.get(), "QVCDB:QVCommDB");
        EXPECT_EQ(root->Open(QVDB_Access_READ), S_OK);
        EXPECT_EQ(root->Close(), S_OK);
    }).join();
    EXPECT_EQ(waiter->store().mutex_timeout(), 0u);
}

TEST_F(AccessTest, AManagerGoneDuringAnAccessGivesTheMutexBack) {
    Prepare([](db::DBManager*) {});
    {
        auto m = Manager(QVDB_Access_WRITE);
        auto root = Node(m.get(), "QVCDB:QVCommDB");
        ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
        root->SetString(S("unsaved").get(), S("x").get());
    }
    std::thread([&] {
        auto m = Manager(QVDB_Access_READ);
        auto root = Node(m.get(), "QVCDB:QVCommDB");
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(root->Open(QVDB_Access_READ), S_OK);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
        EXPECT_EQ(Text(root.get(), "unsaved"), "(none)");
        root->Close();
    }).join();
}

TEST_F(AccessTest, AttachCountsManagersAndDetachTracesTheCount) {
    CaptureFile trace("QV_TRACE_FILE");
    {
        auto a = Manager(QVDB_Access_READ), b = Manager(QVDB_Access_READ);
        EXPECT_TRUE(a->store().attached());
        EXPECT_EQ(a->store().process_count(), 2);
    }
    EXPECT_EQ(trace.Read(), "[QVCOMMDB UNLOAD] process count:1\n[QVCOMMDB UNLOAD] process count:0\n");
}

TEST(StoreNames, BaseNameIsTheFileNameWithoutItsExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "QVCommDB"},          {"C:\\Windows\\System32\\Quorvex\\QVCommDB.xml", "QVCommDB"},
        {"/tmp/Other.xml", "Other"}, {"a.b.xml", "a.b"},
        {"noext", "noext"},       {"dir/", ""},
        {"C:\\dir\\", ""},        {"/x/.hidden", ""},
    };
    for (const auto& [path, base] : cases) EXPECT_EQ(db::StoreBaseName(path), base) << path;
    const auto names = db::MakeStoreObjectNames("/tmp/Other.xml");
    EXPECT_EQ(names.block, "Global\\Other");
    EXPECT_EQ(names.mutex, "Global\\Other_mux");
}

TEST(StoreNames, OverlongNamesAreCutAndStillWork) {
    const std::string base(300, 'n');
    const auto names = db::MakeStoreObjectNames("/tmp/" + base + ".xml");
    EXPECT_EQ(names.block.size(), 255u);
    EXPECT_EQ(names.mutex.size(), 255u);
    EXPECT_EQ(names.block.substr(0, 7), "Global\\");
#if !defined(_WIN32)  // Windows paths end at 260 characters
    TempDir dir;
    // A path longer than the block's field, whose base name is too long for an object name.
    const std::string long_dir = (dir.path() / std::string(120, 'd')).string();
    platform::CreateDirectoryPath(long_dir);
    const std::string path = long_dir + "/" + std::string(150, 'q') + ".xml";
    auto m = ComPtr<db::DBManager>::Share(db::DBManager::Create());
    m->Init(S(path).get());
    m->SetAccessType(QVDB_Access_WRITE, nullptr);
    ComPtr<IDBNode> root;
    m->CreateNode(S("QVCDB:QVCommDB").get(), root.out());
    ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
    EXPECT_EQ(root->Close(), S_OK);
    EXPECT_EQ(ReadFile(path), std::string(kHeader) + "<QVCDB:QVCommDB/>\n");
#endif
}

// Without Init, the default store in the system directory: made at the first open. Both parts
// use the default object names, so they run in one test, one after the other.
void UnmakeableDirectoryIsReported();

TEST(DefaultStore, FirstOpenMakesTheDirectoryAndTheFileOrReportsWhyNot) {
    TempDir system;
    SetEnv("QV_SYSTEM_DIR", system.path().string());
    const auto store = system.path() / "Quorvex" / "QVCommDB.xml";
    {
        auto reader = ComPtr<db::DBManager>::Share(db::DBManager::Create());
        reader->SetAccessType(QVDB_Access_READ, nullptr);
        ComPtr<IDBNode> root;
        reader->CreateNode(S("QVCDB:QVCommDB").get(), root.out());
        EXPECT_EQ(root->Open(QVDB_Access_READ), QVDB_E_LOADFAILED);
        EXPECT_TRUE(std::filesystem::exists(store));
        EXPECT_EQ(ReadFile(store), "");
    }
    {
        auto writer = ComPtr<db::DBManager>::Share(db::DBManager::Create());
        writer->SetAccessType(QVDB_Access_WRITE, nullptr);
        ComPtr<IDBNode> node;
        writer->CreateNode(S("Plugins").get(), node.out());
        ASSERT_EQ(node->Open(QVDB_Access_WRITE), S_OK);
        ASSERT_EQ(node->Close(), S_OK);
        EXPECT_EQ(writer->store().store_path(), store.string());
    }
    EXPECT_EQ(ReadFile(store), std::string(kHeader) + "<QVCDB:QVCommDB>\n  <Plugins/>\n</QVCDB:QVCommDB>\n");
    UnsetEnv("QV_SYSTEM_DIR");
    UnmakeableDirectoryIsReported();
}

void UnmakeableDirectoryIsReported() {
    TempDir system;
    WriteFile(system.path() / "blocker", "a file where the system directory should be");
    SetEnv("QV_SYSTEM_DIR", (system.path() / "blocker").string());
    CaptureFile reports("QV_REPORT_FILE");
    auto m = ComPtr<db::DBManager>::Share(db::DBManager::Create());
    m->SetAccessType(QVDB_Access_WRITE, nullptr);
    ComPtr<IDBNode> root;
    m->CreateNode(S("QVCDB:QVCommDB").get(), root.out());
    EXPECT_EQ(root->Open(QVDB_Access_WRITE), E_FAIL);
    EXPECT_FALSE(m->store().attached());
    // The store path is the default file from now on; the next open attaches and then finds
    // no directory to open the file in.
    EXPECT_EQ(root->Open(QVDB_Access_WRITE), static_cast<HRESULT>(0x80070003u));
    EXPECT_EQ(reports.Read(), std::string("0xC0001391 ") + db::kDirectoryProblem + "\n");
    UnsetEnv("QV_SYSTEM_DIR");
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// A manager that finds the file and its tree as it left them skips the load; these are the
// cases where the load must still happen, or where skipping must look exactly like loading.
using RepeatedAccessTest = StoreTest;

TEST_F(RepeatedAccessTest, AChangeOfTheSameSizeByAnotherManagerIsSeen) {
    Prepare([](db::DBManager* m) { Node(m, "x")->SetString(S("v").get(), S("1").get()); });
    auto reader = Manager(QVDB_Access_READ);
    auto x = Node(reader.get(), "x");
    ASSERT_EQ(x->Open(QVDB_Access_READ), S_OK);
    EXPECT_EQ(Text(x.get(), "v"), "1");
    ASSERT_EQ(x->Close(), S_OK);
    // Written as another program would: same size, other bytes, and no change in this process.
    const std::string text = FileText();
    std::string changed = text;
    changed[changed.find("v=\"1\"") + 3] = '2';
    WriteFile(path_, changed);
    ASSERT_EQ(x->Open(QVDB_Access_READ), S_OK);
    EXPECT_EQ(Text(x.get(), "v"), "2");
    ASSERT_EQ(x->Close(), S_OK);
}

TEST_F(RepeatedAccessTest, ChangesMadeInMemoryOnlyAreReplacedByTheFileAgain) {
    Prepare([](db::DBManager* m) { Node(m, "x")->SetString(S("v").get(), S("file").get()); });
    auto reader = Manager(QVDB_Access_READ);
    auto x = Node(reader.get(), "x");
    ASSERT_EQ(x->Open(QVDB_Access_READ), S_OK);
    x->SetString(S("v").get(), S("memory").get());  // a reader never saves it
    ASSERT_EQ(x->Close(), S_OK);
    ASSERT_EQ(x->Open(QVDB_Access_READ), S_OK);
    EXPECT_EQ(Text(x.get(), "v"), "file");
    ASSERT_EQ(x->Close(), S_OK);
}

TEST_F(RepeatedAccessTest, NodesSavedByThisManagerOpenForReadingAfterwards) {
    auto writer = Manager(QVDB_Access_READ | QVDB_Access_WRITE);
    auto made = Node(writer.get(), "made/below");
    ASSERT_EQ(made->Open(QVDB_Access_WRITE), S_OK);
    ASSERT_EQ(made->Close(), S_OK);
    // The next load would meet both nodes in the file and make them Loaded.
    auto parent = Node(writer.get(), "made");
    EXPECT_EQ(parent->Open(QVDB_Access_READ), S_OK);
    EXPECT_EQ(parent->Close(), S_OK);
    EXPECT_EQ(static_cast<db::DBNode*>(made.get())->state(), db::NodeState::Loaded);
}

TEST_F(RepeatedAccessTest, ANodeMadeAfterTheLastLoadIsStillRefusedForReading) {
    Prepare([](db::DBManager*) {});
    auto reader = Manager(QVDB_Access_READ);
    auto root = Node(reader.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(root->Open(QVDB_Access_READ), S_OK);
    ASSERT_EQ(root->Close(), S_OK);
    auto fresh = Node(reader.get(), "fresh");
    EXPECT_EQ(fresh->Open(QVDB_Access_READ), E_INVALIDARG);
}

}  // namespace
}  // namespace qv::test
