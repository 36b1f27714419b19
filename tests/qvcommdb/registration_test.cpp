// DllRegisterServer and DllUnregisterServer of the module, as a client or regsvr32 calls them.
#include <gtest/gtest.h>

#include "platform/dynamic_library.h"
#include "platform/guid.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/registration.h"
#include "support/test_env.h"

namespace qv::test {
namespace {

const std::string kClassKey = "CLSID\\{9FFDF8A8-917F-4CDB-9567-3A34ABCEFA1C}";
const std::string kTypeLibKey = "TypeLib\\{17775F17-BD50-4242-8014-02A7AA782A16}\\1.0";

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(_WIN32)
        SetEnv("QV_REGISTRY_FILE", dir_.file("registry.txt"));
#endif
        uint32_t error = 0;
        module_ = platform::ScopedModule(platform::OpenLibrary("QVCommDB.dll", &error));
        ASSERT_TRUE(module_);
        module_path_ = platform::ModulePathOf(platform::FindProcedure(module_.get(), "DllRegisterServer"));
    }
    void TearDown() override { UnsetEnv("QV_REGISTRY_FILE"); }
    HRESULT Call(const char* entry) {
        auto f = reinterpret_cast<QVDB_DllRegisterServer>(platform::FindProcedure(module_.get(), entry));
        return f ? f() : E_FAIL;
    }
    static std::optional<std::string> Value(const std::string& key, const std::string& name = "") {
        uint32_t error = 0;
        auto root = platform::ClassesRoot::Open(&error);
        return root ? root->GetString(key, name) : std::nullopt;
    }
    static bool Exists(const std::string& key) {
        uint32_t error = 0;
        auto root = platform::ClassesRoot::Open(&error);
        return root && root->KeyExists(key);
    }
    void ExpectRegistered() {
        EXPECT_EQ(Value("QVCommDB.DBManager.1"), "DBManager Class");
        EXPECT_EQ(Value("QVCommDB.DBManager.1\\CLSID"), "{9FFDF8A8-917F-4CDB-9567-3A34ABCEFA1C}");
        EXPECT_EQ(Value("QVCommDB.DBManager"), "DBManager Class");
        // The version-independent name resolves through CurVer to the class.
        const auto current = Value("QVCommDB.DBManager\\CurVer");
        ASSERT_EQ(current, "QVCommDB.DBManager.1");
        EXPECT_EQ(Value(*current + "\\CLSID"), Value("QVCommDB.DBManager\\CLSID"));
        EXPECT_EQ(Value(kClassKey), "DBManager Class");
        EXPECT_EQ(Value(kClassKey + "\\ProgID"), "QVCommDB.DBManager.1");
        EXPECT_EQ(Value(kClassKey + "\\VersionIndependentProgID"), "QVCommDB.DBManager");
        EXPECT_EQ(Value(kClassKey + "\\InprocServer32"), module_path_);
        EXPECT_EQ(Value(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_EQ(Value(kClassKey + "\\TypeLib"), "{17775F17-BD50-4242-8014-02A7AA782A16}");
        EXPECT_EQ(Value(kTypeLibKey), "QVCommDB 1.0 Type Library");
        EXPECT_EQ(Value(kTypeLibKey + "\\0\\win32"), module_path_);
    }
    void ExpectUnregistered() {
        EXPECT_FALSE(Exists("QVCommDB.DBManager.1"));
        EXPECT_FALSE(Exists("QVCommDB.DBManager"));
        EXPECT_FALSE(Exists(kClassKey));
        EXPECT_TRUE(Exists("CLSID"));
        EXPECT_FALSE(Exists(kTypeLibKey));
    }

    TempDir dir_;
    platform::ScopedModule module_;
    std::string module_path_;
};

TEST_F(RegistrationTest, RegisterWritesTheClassAndTypeLibraryAndUnregisterRemovesThem) {
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
    ExpectRegistered();
    EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
    ExpectUnregistered();
    EXPECT_EQ(Call("DllUnregisterServer"), S_OK) << "also when nothing is registered";
}

TEST_F(RegistrationTest, RegisteringAgainMakesTheClassKeyAnew) {
    {
        uint32_t error = 0;
        auto root = platform::ClassesRoot::Open(&error);
        ASSERT_NE(root, nullptr);
        root->SetString(kClassKey + "\\Stale", "", "left by an old version");
        ASSERT_TRUE(root->Commit(&error));
    }
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
    EXPECT_FALSE(Exists(kClassKey + "\\Stale"));
    ExpectRegistered();
    Call("DllUnregisterServer");
}

TEST(TypeLibraryDescription, NamesTheLibraryItsVersionAndItsClasses) {
    const std::string text = db::TypeLibraryDescription();
    for (const char* part : {"library QVCOMMDBLib", "uuid(17775F17-BD50-4242-8014-02A7AA782A16)", "version(1.0)",
                             "QVCommDB 1.0 Type Library", "QVCommDB.DBValue.DBVType IDs", "coclass DBManager",
                             "interface IDBNode : IUnknown", "helpstring(\"method Init\")"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

#if defined(_WIN32)
// The system's own registrar program calls the same entry points.
TEST_F(RegistrationTest, Regsvr32RegistersAndUnregisters) {
    char system_dir[MAX_PATH];
    GetSystemDirectoryA(system_dir, MAX_PATH);
    const std::string regsvr32 = std::string(system_dir) + "\\regsvr32.exe";
    auto reg = platform::ChildProcess::Start(regsvr32, {"/s", module_path_});
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg->Wait(60000).value_or(-1), 0);
    ExpectRegistered();
    auto unreg = platform::ChildProcess::Start(regsvr32, {"/s", "/u", module_path_});
    ASSERT_NE(unreg, nullptr);
    EXPECT_EQ(unreg->Wait(60000).value_or(-1), 0);
    ExpectUnregistered();
}
#endif

}  // namespace
}  // namespace qv::test
