#include "db_fixture.h"
#include "qvcommdb/parse_dword.h"

namespace qv::test {
namespace {

using ValuesTest = DbTest;

TEST_F(ValuesTest, SetDWordWritesSignedDecimalThatReadsBack) {
    struct Case {
        ULONG value;
        const char* text;
    } cases[] = {{0, "0"}, {42, "42"}, {2147483647u, "2147483647"}, {2147483648u, "-2147483648"},
                 {4294967295u, "-1"}};
    ComPtr<IDBNode> n = Node("n");
    for (const auto& c : cases) {
        ASSERT_EQ(n->SetDWord(B("v").get(), c.value), S_OK);
        EXPECT_EQ(StringOf(n.get(), "v"), c.text);
        ULONG back = 0;
        EXPECT_EQ(n->GetDWord(B("v").get(), &back), S_OK);
        EXPECT_EQ(back, c.value) << c.text;
    }
}

TEST(ParseDWord, OtherTextsConvertAsDocumented) {
    struct Case {
        const char* text;
        uint32_t value;
    } cases[] = {{"  12", 12},     {"+7", 7},         {"0x1F", 31},          {"0XfF", 255},
                 {"12abc", 12},    {"abc", 0},        {"-", 0},              {"", 0},
                 {"4294967296", 0}, {"4294967295", 0xFFFFFFFFu}, {"-0x10", 0xFFFFFFF0u}};
    for (const auto& c : cases) EXPECT_EQ(db::ParseDWord(c.text), c.value) << c.text;
}

TEST_F(ValuesTest, EmptyTextReadsAsEmptyStringThroughTheNodeOnly) {
    ComPtr<IDBNode> n = Node("n");
    IDBValue* value = nullptr;
    ASSERT_EQ(n->AddValue(B("empty").get(), &value), S_OK);
    Bstr text;
    EXPECT_EQ(n->GetString(B("empty").get(), text.out()), S_OK);
    ASSERT_NE(text.get(), nullptr);
    EXPECT_EQ(text.length(), 0u);
    EXPECT_EQ(value->GetString(text.out()), E_FAIL);
    ULONG number = 7;
    EXPECT_EQ(value->GetDWord(&number), E_FAIL);
    EXPECT_EQ(n->GetDWord(B("empty").get(), &number), E_FAIL);
    // Missing values.
    EXPECT_EQ(n->GetString(B("missing").get(), text.out()), E_FAIL);
    EXPECT_EQ(n->GetDWord(B("missing").get(), &number), E_FAIL);
    IDBValue* missing = reinterpret_cast<IDBValue*>(1);
    EXPECT_EQ(n->GetValue(B("missing").get(), &missing), E_FAIL);
    EXPECT_EQ(missing, nullptr);
}

TEST_F(ValuesTest, ValuesAreUntypedAndKeepTheirNames) {
    ComPtr<IDBNode> n = Node("n");
    n->SetDWord(B("num").get(), 5);
    n->SetString(B("str").get(), B("s").get());
    unsigned char byte = 1;
    n->SetBlob(B("blob").get(), 1, &byte);
    for (const char* name : {"num", "str", "blob"}) {
        IDBValue* value = nullptr;
        ASSERT_EQ(n->GetValue(B(name).get(), &value), S_OK);
        QVDB_Type type = QVDB_Type_CHILD;
        EXPECT_EQ(value->GetType(&type), S_OK);
        EXPECT_EQ(type, QVDB_Type_NONE);
        Bstr got;
        value->GetName(got.out());
        EXPECT_EQ(got.ToAnsi(), name);
    }
}

TEST_F(ValuesTest, BlobsRoundTripAndShareOneBuffer) {
    ComPtr<IDBNode> n = Node("n");
    unsigned char first[] = {0x00, 0xFF, 0x10};
    unsigned char second[] = {0xAB, 0xCD};
    ASSERT_EQ(n->SetBlob(B("first").get(), sizeof first, first), S_OK);
    ASSERT_EQ(n->SetBlob(B("second").get(), sizeof second, second), S_OK);
    EXPECT_EQ(StringOf(n.get(), "first"), "AP8Q");
    ULONG size = 0;
    unsigned char* bytes = nullptr;
    ASSERT_EQ(n->GetBlob(B("first").get(), &size, &bytes), S_OK);
    ASSERT_EQ(size, 3u);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 3), std::vector<unsigned char>(first, first + 3));
    unsigned char* first_bytes = bytes;
    ASSERT_EQ(n->GetBlob(B("second").get(), &size, &bytes), S_OK);
    EXPECT_EQ(size, 2u);
    ASSERT_EQ(bytes, first_bytes) << "one buffer for the process";
    EXPECT_EQ(first_bytes[0], 0xAB) << "the second GetBlob overwrote the first one's bytes";
    ASSERT_EQ(n->SetBlob(B("none").get(), 0, nullptr), S_OK);
    EXPECT_EQ(StringOf(n.get(), "none"), "");
    EXPECT_EQ(n->SetBlob(B("bad").get(), 4, nullptr), E_POINTER);
}

TEST_F(ValuesTest, SetInterfaceMakesAnEmptyValueAndNoChild) {
    ComPtr<IDBNode> n = Node("n");
    ComPtr<IDBNode> other = Node("other");
    EXPECT_EQ(n->SetInterface(B("link").get(), other.get()), S_OK);
    EXPECT_EQ(StringOf(n.get(), "link"), "");
    IDBNode* child = reinterpret_cast<IDBNode*>(1);
    EXPECT_EQ(n->GetInterface(B("link").get(), &child), E_FAIL);
    EXPECT_EQ(child, nullptr);
    IDBValue* value = nullptr;
    n->GetValue(B("link").get(), &value);
    IDBNode* untouched = other.get();
    EXPECT_EQ(value->GetInterface(&untouched), S_OK);
    EXPECT_EQ(untouched, other.get());
}

TEST_F(ValuesTest, NullTextsAreEmptyExceptForTheValuesOwnSetString) {
    ComPtr<IDBNode> n = Node("n");
    EXPECT_EQ(n->SetString(B("v").get(), nullptr), S_OK);
    EXPECT_EQ(StringOf(n.get(), "v"), "");
    IDBValue* value = nullptr;
    n->GetValue(B("v").get(), &value);
    EXPECT_EQ(value->SetString(nullptr), E_INVALIDARG);
    EXPECT_EQ(value->SetString(B("t").get()), S_OK);
    EXPECT_EQ(StringOf(n.get(), "v"), "t");
}

TEST_F(ValuesTest, DeleteValueDropsTheNodesReferenceOnly) {
    ComPtr<IDBNode> n = Node("n");
    n->SetString(B("v").get(), B("kept").get());
    ComPtr<IDBEnumNode> e;
    n->EnumValues(e.out());
    ComPtr<IUnknown> held;
    ASSERT_EQ(e->NextIUnknown(held.out()), S_OK);
    EXPECT_EQ(n->DeleteValue(B("v").get()), S_OK);
    EXPECT_EQ(n->DeleteValue(B("v").get()), E_INVALIDARG);
    Bstr text;
    EXPECT_EQ(n->GetString(B("v").get(), text.out()), E_FAIL);
    ComPtr<IDBValue> value;
    ASSERT_EQ(held->QueryInterface(IID_IDBValue, value.out_void()), S_OK);
    EXPECT_EQ(value->GetString(text.out()), S_OK);
    EXPECT_EQ(text.ToAnsi(), "kept");
}

}  // namespace
}  // namespace qv::test
