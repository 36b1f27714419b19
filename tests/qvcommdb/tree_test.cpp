#include <vector>

#include "db_fixture.h"
#include "qvcommdb/module.h"

namespace qv::test {
namespace {

using TreeTest = DbTest;

TEST_F(TreeTest, PathWalkMakesNodesAndRefusesEmptyComponents) {
    struct Case {
        const char* path;
        HRESULT result;
        const char* leaf;
    } cases[] = {
        {"a", S_OK, "a"},       {"/a", S_OK, "a"},          {"a/b/c", S_OK, "c"},
        {"", E_INVALIDARG, ""}, {"/", E_INVALIDARG, ""},    {"//a", E_INVALIDARG, ""},
        {"a/", E_INVALIDARG, ""}, {"a//b", E_INVALIDARG, ""},
    };
    for (const auto& c : cases) {
        ComPtr<IDBNode> node;
        EXPECT_EQ(manager_->CreateNode(B(c.path).get(), node.out()), c.result) << c.path;
        if (c.result == S_OK)
            EXPECT_EQ(NameOf(node.get()), c.leaf) << c.path;
        else
            EXPECT_EQ(node.get(), nullptr) << c.path;
    }
    // "/a" and "a" are one node; "a/b/c" made b below a; "a/" made nothing new.
    EXPECT_EQ(Node("/a").get(), Node("a").get());
    ComPtr<IDBNode> b;
    EXPECT_EQ(Node("a")->GetInterface(B("b").get(), b.out()), S_OK);
    b.release();  // borrowed
    ULONG count = 0;
    ComPtr<IDBEnumNode> children;
    ASSERT_EQ(Node("a")->EnumChildren(children.out()), S_OK);
    children->GetCount(&count);
    EXPECT_EQ(count, 1u);
}

TEST_F(TreeTest, NodesMadeBeforeAFailingStepStay) {
    ComPtr<IDBNode> node;
    EXPECT_EQ(manager_->CreateNode(B("x/y//z").get(), node.out()), E_INVALIDARG);
    IDBNode* y = nullptr;
    EXPECT_EQ(Node("x")->GetInterface(B("y").get(), &y), S_OK);
}

TEST_F(TreeTest, RootNameGivesTheRootOnlyWhenExact) {
    ComPtr<IDBNode> root = Node("QVCDB:QVCommDB");
    EXPECT_EQ(NameOf(root.get()), "QVCDB:QVCommDB");
    EXPECT_EQ(root.get(), static_cast<IDBNode*>(manager_->root()));
    ComPtr<IDBNode> x = Node("QVCDB:QVCommDB/x");
    IDBNode* inner = nullptr;
    ASSERT_EQ(root->GetInterface(B("QVCDB:QVCommDB").get(), &inner), S_OK);
    IDBNode* found = nullptr;
    EXPECT_EQ(inner->GetInterface(B("x").get(), &found), S_OK);
    EXPECT_EQ(found, x.get());
}

TEST_F(TreeTest, NamesAreCaseSensitiveAndAValueMayShareAChildsName) {
    EXPECT_NE(Node("a").get(), Node("A").get());
    ComPtr<IDBNode> n = Node("n");
    ComPtr<IDBNode> child = Node("n/x");
    EXPECT_EQ(n->SetString(B("x").get(), B("value").get()), S_OK);
    EXPECT_EQ(StringOf(n.get(), "x"), "value");
    IDBNode* found = nullptr;
    EXPECT_EQ(n->GetInterface(B("x").get(), &found), S_OK);
    EXPECT_EQ(found, child.get());
}

// Names are written into the store file as element and attribute names, so only names that
// the file can carry are accepted.
TEST_F(TreeTest, NamesTheStoreFileCannotCarryAreRefused) {
    ComPtr<IDBNode> n = Node("n");
    for (const char* bad : {"a b", "1a", "-a", ".a", "a<b", "a&b", "a=b", "a\"b", "a'b", "a>b", "a\tb", "a;b", "a!"}) {
        ComPtr<IDBNode> node;
        EXPECT_EQ(manager_->CreateNode(B(bad).get(), node.out()), E_INVALIDARG) << bad;
        IDBValue* value = nullptr;
        EXPECT_EQ(n->AddValue(B(bad).get(), &value), E_INVALIDARG) << bad;
        EXPECT_EQ(value, nullptr);
        EXPECT_EQ(n->SetString(B(bad).get(), B("x").get()), E_FAIL) << bad;
    }
    IDBValue* value = nullptr;
    EXPECT_EQ(n->AddValue(nullptr, &value), E_INVALIDARG);  // the empty name
    for (const char* good : {"a", "_a", ":a", "a1", "a-b.c_d:e", "\xC3\xA7" "a", "QVCDB:QVCommDB"})
        EXPECT_EQ(n->AddValue(B(good).get(), &value), S_OK) << good;
}

TEST_F(TreeTest, NodesDeeperThanTheStoreFileKeepsAreRefused) {
    // The root is level 1; a path of 98 components reaches level 99, the deepest kept.
    std::string path = "d";
    for (int i = 1; i < 98; ++i) path += "/d";
    ComPtr<IDBNode> deepest = Node(path);
    EXPECT_EQ(Internal(deepest.get())->depth(), db::kMaxNodeDepth);
    ComPtr<IDBNode> deeper;
    EXPECT_EQ(deepest->CreateNode(B("e").get(), deeper.out()), E_INVALIDARG);
}

TEST_F(TreeTest, EnumeratorsWalkInByteOrderAndShareOneCursor) {
    ComPtr<IDBNode> n = Node("n");
    for (const char* name : {"b", "a", "C", "_"}) n->SetString(B(name).get(), B(name).get());
    ComPtr<IDBEnumNode> e;
    ASSERT_EQ(n->EnumValues(e.out()), S_OK);
    ULONG count = 0;
    e->GetCount(&count);
    EXPECT_EQ(count, 4u);
    std::vector<std::string> names;
    Bstr name;
    ASSERT_EQ(e->Next(name.out()), S_OK);
    names.push_back(name.ToAnsi());
    ComPtr<IUnknown> item;
    ASSERT_EQ(e->NextIUnknown(item.out()), S_OK);  // skips one name for Next
    ComPtr<IDBValue> value;
    ASSERT_EQ(item->QueryInterface(IID_IDBValue, value.out_void()), S_OK);
    Bstr item_name;
    value->GetName(item_name.out());
    names.push_back(item_name.ToAnsi());
    while (e->Next(name.out()) == S_OK) names.push_back(name.ToAnsi());
    EXPECT_EQ(names, (std::vector<std::string>{"C", "_", "a", "b"}));
    EXPECT_EQ(name.get(), nullptr);
    EXPECT_EQ(e->NextIUnknown(item.out()), E_FAIL);
    EXPECT_EQ(item.get(), nullptr);
}

TEST_F(TreeTest, EnumeratorMeetsEntriesAddedAheadAndSurvivesRemovalBehind) {
    ComPtr<IDBNode> n = Node("n");
    n->SetString(B("a").get(), B("1").get());
    n->SetString(B("c").get(), B("3").get());
    ComPtr<IDBEnumNode> e;
    ASSERT_EQ(n->EnumValues(e.out()), S_OK);
    Bstr name;
    ASSERT_EQ(e->Next(name.out()), S_OK);
    EXPECT_EQ(name.ToAnsi(), "a");
    n->DeleteValue(B("a").get());
    n->SetString(B("b").get(), B("2").get());
    ASSERT_EQ(e->Next(name.out()), S_OK);
    EXPECT_EQ(name.ToAnsi(), "b");
    ASSERT_EQ(e->Next(name.out()), S_OK);
    EXPECT_EQ(name.ToAnsi(), "c");
    EXPECT_EQ(e->Next(name.out()), E_FAIL);
}

TEST_F(TreeTest, LargeMapsStayOrderedWhateverTheInsertionOrder) {
    ComPtr<IDBNode> n = Node("n");
    const int kCount = 2000;
    for (int i = kCount - 1; i >= 0; --i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%05d", (i * 7919) % kCount);
        n->SetString(B(name).get(), B("x").get());
    }
    for (int i = 0; i < kCount; i += 3) {
        char name[16];
        std::snprintf(name, sizeof name, "v%05d", i);
        EXPECT_EQ(n->DeleteValue(B(name).get()), S_OK);
    }
    ComPtr<IDBEnumNode> e;
    ASSERT_EQ(n->EnumValues(e.out()), S_OK);
    std::string previous;
    int seen = 0;
    for (Bstr name; e->Next(name.out()) == S_OK; ++seen) {
        EXPECT_LT(previous, name.ToAnsi());
        previous = name.ToAnsi();
    }
    EXPECT_EQ(seen, kCount - (kCount + 2) / 3);
}

TEST(TreeLife, ObjectsCountInTheModuleAndClientNodesOutliveTheManager) {
    const LONG before = db::ModuleObjectCount();
    ComPtr<IDBNode> kept;
    ComPtr<IDBEnumNode> e;
    {
        auto manager = ComPtr<db::DBManager>::Share(db::DBManager::Create());
        ASSERT_EQ(manager->CreateNode(Bstr::FromAnsi("a/b").get(), kept.out()), S_OK);
        kept->SetString(Bstr::FromAnsi("v").get(), Bstr::FromAnsi("text").get());
        ASSERT_EQ(kept->EnumValues(e.out()), S_OK);
        // manager, root, a, b, value v, enumerator
        EXPECT_EQ(db::ModuleObjectCount(), before + 6);
    }
    // The tree is given up; b lives on for its client, with its values, and no manager.
    EXPECT_EQ(db::ModuleObjectCount(), before + 3);
    Bstr text;
    EXPECT_EQ(kept->GetString(Bstr::FromAnsi("v").get(), text.out()), S_OK);
    EXPECT_EQ(text.ToAnsi(), "text");
    EXPECT_EQ(kept->Open(QVDB_Access_READ), E_FAIL);
    e.reset();
    kept.reset();
    EXPECT_EQ(db::ModuleObjectCount(), before);
}

TEST_F(TreeTest, QueryInterfaceAnswersOnlyItsOwnInterface) {
    ComPtr<IDBNode> n = Node("n");
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(n->QueryInterface(IID_IDBValue, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(n->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(manager_->QueryInterface(IID_IUnknown, unknown.out_void()), S_OK);
    EXPECT_EQ(manager_->QueryInterface(IID_IDBNode, &p), E_NOINTERFACE);
}

}  // namespace
}  // namespace qv::test
