// The module as a client sees it: loaded by file name, reached through its exports alone.
#include <gtest/gtest.h>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/dynamic_library.h"
#include "qvcomm/qvcommdb.h"

namespace {

using qv::platform::Bstr;
using qv::platform::ComPtr;

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        uint32_t error = 0;
        module_ = qv::platform::ScopedModule(qv::platform::OpenLibrary("QVCommDB.dll", &error));
        ASSERT_TRUE(module_) << "error " << error;
        get_class_object_ = reinterpret_cast<QVDB_DllGetClassObject>(
            qv::platform::FindProcedure(module_.get(), "DllGetClassObject"));
        can_unload_ = reinterpret_cast<QVDB_DllCanUnloadNow>(
            qv::platform::FindProcedure(module_.get(), "DllCanUnloadNow"));
        ASSERT_NE(get_class_object_, nullptr);
        ASSERT_NE(can_unload_, nullptr);
    }
    ComPtr<IClassFactory> Factory() {
        ComPtr<IClassFactory> f;
        EXPECT_EQ(get_class_object_(CLSID_DBManager, IID_IClassFactory, f.out_void()), S_OK);
        return f;
    }

    qv::platform::ScopedModule module_;
    QVDB_DllGetClassObject get_class_object_ = nullptr;
    QVDB_DllCanUnloadNow can_unload_ = nullptr;
};

TEST_F(ExportsTest, ServesOneCachedClassObjectForDBManagerOnly) {
    ComPtr<IClassFactory> a = Factory(), b = Factory();
    EXPECT_EQ(a.get(), b.get());
    for (const CLSID& other : {CLSID_DBNode, CLSID_DBValue, CLSID_DBEnumNode}) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(get_class_object_(other, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(get_class_object_(CLSID_DBManager, IID_IClassFactory, nullptr), E_POINTER);
    void* p = nullptr;
    EXPECT_EQ(get_class_object_(CLSID_DBManager, IID_IDBNode, &p), E_NOINTERFACE);
}

TEST_F(ExportsTest, FactoryMakesManagersAndRefusesAggregation) {
    ComPtr<IClassFactory> factory = Factory();
    ComPtr<IDBManager> manager;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDBManager, manager.out_void()), S_OK);
    ComPtr<IDBNode> node;
    EXPECT_EQ(manager->CreateNode(Bstr::FromAnsi("a/b").get(), node.out()), S_OK);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(manager.get(), IID_IDBManager, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDBValue, &p), E_NOINTERFACE);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDBManager, nullptr), E_POINTER);
}

TEST_F(ExportsTest, CanUnloadOnlyWhenNothingIsAliveOrLocked) {
    EXPECT_EQ(can_unload_(), S_OK);
    ComPtr<IDBManager> manager;
    {
        ComPtr<IClassFactory> factory = Factory();
        EXPECT_EQ(can_unload_(), S_FALSE);  // a client holds the class object
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDBManager, manager.out_void()), S_OK);
        factory->LockServer(TRUE);
    }
    ComPtr<IDBNode> node;
    manager->CreateNode(Bstr::FromAnsi("x").get(), node.out());
    manager.reset();
    EXPECT_EQ(can_unload_(), S_FALSE);  // the node and the lock
    node.reset();
    EXPECT_EQ(can_unload_(), S_FALSE);  // the lock
    Factory()->LockServer(FALSE);
    EXPECT_EQ(can_unload_(), S_OK);
}

}  // namespace
