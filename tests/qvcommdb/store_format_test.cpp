#include <random>

#include "db_fixture.h"
#include "qvcommdb/store_format.h"

namespace qv::test {
namespace {

class StoreFormatTest : public DbTest {
protected:
    std::string Compose() {
        std::string text;
        EXPECT_TRUE(db::ComposeStoreText(*manager_, &text));
        return text;
    }
    // A fresh manager with the text merged in, and the text it composes again.
    static std::string Reload(const std::string& text, HRESULT expected = S_OK) {
        auto other = ComPtr<db::DBManager>::Share(db::DBManager::Create());
        EXPECT_EQ(db::MergeStoreText(*other, text.data(), text.size()), expected);
        std::string again;
        if (!db::ComposeStoreText(*other, &again)) return "(no root)";
        return again;
    }
    HRESULT Merge(const std::string& text) { return db::MergeStoreText(*manager_, text.data(), text.size()); }
};

TEST_F(StoreFormatTest, RootAloneIsTheHeaderAndAnEmptyElement) {
    Node("QVCDB:QVCommDB");
    EXPECT_EQ(Compose(), "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB/>\n");
}

TEST_F(StoreFormatTest, NoRootOrADeletedRootCannotBeComposed) {
    std::string text;
    EXPECT_FALSE(db::ComposeStoreText(*manager_, &text));
    Node("QVCDB:QVCommDB");
    manager_->root()->set_state(db::NodeState::Deleted);
    EXPECT_FALSE(db::ComposeStoreText(*manager_, &text));
}

TEST_F(StoreFormatTest, ChildrenAreIndentedAndValuesAreAttributesInByteOrder) {
    ComPtr<IDBNode> plugins = Node("Plugins");
    plugins->SetString(B("PATH").get(), B("C:\\x").get());
    EXPECT_EQ(Compose(),
              "<?xml version=\"1.0\" ?>\n"
              "<QVCDB:QVCommDB>\n"
              "  <Plugins PATH=\"C:\\x\"/>\n"
              "</QVCDB:QVCommDB>\n");
    ComPtr<IDBNode> n = Node("n/deep");
    Node("n")->SetString(B("b").get(), B("2").get());
    Node("n")->SetString(B("B").get(), B("1").get());
    Node("B");
    EXPECT_EQ(Compose(),
              "<?xml version=\"1.0\" ?>\n"
              "<QVCDB:QVCommDB>\n"
              "  <B/>\n"
              "  <Plugins PATH=\"C:\\x\"/>\n"
              "  <n B=\"1\" b=\"2\">\n"
              "    <deep/>\n"
              "  </n>\n"
              "</QVCDB:QVCommDB>\n");
}

TEST_F(StoreFormatTest, TextsAreEscapedAsTheFileNeeds) {
    struct Case {
        const char* text;
        const char* written;
    } cases[] = {
        {"a\"b<c>&d", "a&quot;b&lt;c&gt;&amp;d"},
        {"tab\there", "tab&#x09;here"},
        {"line\nfeed\rreturn", "line&#x0A;feed&#x0D;return"},
        {"\x01\x1F", "&#x01;&#x1F;"},
        {"it's", "it's"},
        {"", ""},
    };
    ComPtr<IDBNode> n = Node("n");
    for (const auto& c : cases) {
        n->SetString(B("v").get(), nullptr);
        Internal(n.get())->FindValue("v")->SetText(c.text);
        const std::string expected = std::string("  <n v=\"") + c.written + "\"/>\n";
        EXPECT_NE(Compose().find(expected), std::string::npos) << c.text;
    }
}

// Every byte a text can hold, every character a client can store, comes back unchanged.
TEST_F(StoreFormatTest, EveryByteOfATextSurvivesASaveAndALoad) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    ComPtr<IDBNode> n = Node("n");
    n->SetString(B("all").get(), nullptr);
    Internal(n.get())->FindValue("all")->SetText(all);
    // Characters of the narrow code page: UTF-8 on POSIX, the ANSI page (1252 here) on Windows.
#if defined(_WIN32)
    const std::u16string client_text = u"\"q\" & <t>\t\n\u00E7\u00E9 \u20AC";
#else
    const std::u16string client_text = u"\"q\" & <t>\t\n\u011F\u00E7 \u20AC \U0001F600";
#endif
    n->SetString(B("client").get(), Bstr::FromWide(client_text).get());
    const std::string text = Compose();
    auto other = ComPtr<db::DBManager>::Share(db::DBManager::Create());
    ASSERT_EQ(db::MergeStoreText(*other, text.data(), text.size()), S_OK);
    db::DBNode* loaded = other->root()->FindChild("n");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->FindValue("all")->text(), all);
    Bstr client;
    loaded->GetString(B("client").get(), client.out());
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(client.get()), client.length()), client_text);
}

TEST_F(StoreFormatTest, DeletedNodesAreLeftOutWithTheirSubtree) {
    Node("keep");
    Node("gone/below");
    Internal(Node("gone").get())->set_state(db::NodeState::Deleted);
    EXPECT_EQ(Compose(), "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB>\n  <keep/>\n</QVCDB:QVCommDB>\n");
    Internal(Node("keep").get())->set_state(db::NodeState::Deleted);
    EXPECT_EQ(Compose(), "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB/>\n");
}

TEST_F(StoreFormatTest, LoadMergesIntoTheTreeAndMarksNodesLoaded) {
    ComPtr<IDBNode> old = Node("old");
    old->SetString(B("kept").get(), B("1").get());
    Node("shared")->SetString(B("v").get(), B("before").get());
    ASSERT_EQ(Merge("<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB><shared v=\"after\" w=\"new\">text is ignored"
                    "<inner/></shared></QVCDB:QVCommDB>"),
              S_OK);
    EXPECT_EQ(StringOf(old.get(), "kept"), "1");
    EXPECT_EQ(Internal(old.get())->state(), db::NodeState::New);
    ComPtr<IDBNode> shared = Node("shared");
    EXPECT_EQ(StringOf(shared.get(), "v"), "after");
    EXPECT_EQ(StringOf(shared.get(), "w"), "new");
    EXPECT_EQ(Internal(shared.get())->state(), db::NodeState::Loaded);
    EXPECT_EQ(manager_->root()->state(), db::NodeState::Loaded);
    EXPECT_EQ(Compose(),
              "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB>\n  <old kept=\"1\"/>\n"
              "  <shared v=\"after\" w=\"new\">\n    <inner/>\n  </shared>\n</QVCDB:QVCommDB>\n");
}

TEST_F(StoreFormatTest, TopElementNameDecidesWhatLoads) {
    // Differing in case only: its content goes below a child of that name.
    EXPECT_EQ(Reload("<qvcdb:qvcommdb><a x=\"1\"/></qvcdb:qvcommdb>"),
              "<?xml version=\"1.0\" ?>\n<QVCDB:QVCommDB>\n  <qvcdb:qvcommdb>\n    <a x=\"1\"/>\n"
              "  </qvcdb:qvcommdb>\n</QVCDB:QVCommDB>\n");
    // Another name: nothing loads, and that is no error.
    EXPECT_EQ(Reload("<other><a/></other>"), "(no root)");
}

TEST_F(StoreFormatTest, ElementsAHundredLevelsDeepAreSkippedWithTheRestOfTheFile) {
    std::string text;
    for (int i = 0; i < 105; ++i) text += i == 0 ? "<QVCDB:QVCommDB>" : "<d" + std::to_string(i) + ">";
    for (int i = 104; i >= 0; --i) text += i == 0 ? "</QVCDB:QVCommDB>" : "</d" + std::to_string(i) + ">";
    ASSERT_EQ(Merge(text), S_OK);
    const db::DBNode* n = manager_->root();
    int depth = 1;
    while (!n->children().empty()) {
        n = n->children().First();
        ++depth;
    }
    EXPECT_EQ(depth, 99);
    EXPECT_EQ(n->name(), "d98");
}

TEST_F(StoreFormatTest, MalformedFilesFailAndKeepWhatWasMerged) {
    const char* bad[] = {
        "",
        "<QVCDB:QVCommDB>",
        "<QVCDB:QVCommDB><a></b></QVCDB:QVCommDB>",
        "<QVCDB:QVCommDB a=\"1\" a=\"2\"/>",
        "<QVCDB:QVCommDB/><QVCDB:QVCommDB/>",
        "<QVCDB:QVCommDB v=\"&bogus;\"/>",
        "<QVCDB:QVCommDB v=\"a<b\"/>",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        Reload(text, QVDB_E_LOADFAILED);
    }
    EXPECT_EQ(Merge("<QVCDB:QVCommDB><first v=\"1\"/><second></QVCDB:QVCommDB>"), QVDB_E_LOADFAILED);
    EXPECT_EQ(StringOf(Node("first").get(), "v"), "1");
}

// Whatever a client makes through the interfaces, the file composed from it loads again
// into the same tree.
TEST_F(StoreFormatTest, AnythingMadeCanBeSavedAndLoadedAgain) {
    std::mt19937 rng(20261211);
    const std::string name_chars = "aZ_:.-9 <&\"'=/\xC3\xA7";
    auto random_text = [&](size_t max) {
        std::u16string s;
        const size_t n = rng() % max;
        for (size_t i = 0; i < n; ++i) {
            const unsigned r = rng() % 8;
            s.push_back(r == 0 ? char16_t(1 + rng() % 31) : r == 1 ? char16_t(0x80 + rng() % 0x700)
                                                                   : char16_t(0x20 + rng() % 0x5F));
        }
        return s;
    };
    auto random_name = [&] {
        std::string s;
        const size_t n = 1 + rng() % 4;
        for (size_t i = 0; i < n; ++i) s += name_chars[rng() % name_chars.size()];
        return s;
    };
    std::vector<ComPtr<IDBNode>> nodes{Node("QVCDB:QVCommDB")};
    for (int step = 0; step < 3000; ++step) {
        IDBNode* at = nodes[rng() % nodes.size()].get();
        const std::string name = random_name();
        if (rng() % 3 == 0) {
            ComPtr<IDBNode> child;
            if (at->CreateNode(B(name).get(), child.out()) == S_OK) nodes.push_back(child);
        } else {
            at->SetString(B(name).get(), Bstr::FromWide(random_text(12)).get());
        }
    }
    const std::string text = Compose();
    EXPECT_EQ(Reload(text), text);
}

}  // namespace
}  // namespace qv::test
