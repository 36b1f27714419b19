// A store file of its own in a fresh directory (its base name unique, so that tests running at
// once never share a mutex), and managers on it.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"
#include "support/test_env.h"

namespace qv::test {

using platform::Bstr;
using platform::ComPtr;

inline Bstr S(std::string_view text) { return Bstr::FromAnsi(text); }

class StoreTest : public ::testing::Test {
protected:
    StoreTest() {
        std::random_device rd;
        path_ = dir_.file("Store" + std::to_string(rd()) + std::to_string(rd()) + ".xml");
    }

    ComPtr<db::DBManager> Manager(ULONG access, void* protection = nullptr, bool init = true) {
        auto m = ComPtr<db::DBManager>::Share(db::DBManager::Create());
        if (init) {
            EXPECT_EQ(m->Init(S(path_).get()), S_OK);
        }
        m->SetAccessType(access, protection);
        return m;
    }
    static ComPtr<IDBNode> Node(db::DBManager* m, const std::string& path) {
        ComPtr<IDBNode> node;
        EXPECT_EQ(m->CreateNode(S(path).get(), node.out()), S_OK) << path;
        return node;
    }
    static std::string Text(IDBNode* node, const std::string& name) {
        Bstr text;
        if (node->GetString(S(name).get(), text.out()) != S_OK) return "(none)";
        return text.ToAnsi();
    }
    std::string FileText() const { return ReadFile(path_); }
    // Writes a store holding the tree of `setup` through a manager of its own.
    template <class F>
    void Prepare(F&& setup) {
        auto m = Manager(QVDB_Access_WRITE);
        auto root = Node(m.get(), "QVCDB:QVCommDB");
        ASSERT_EQ(root->Open(QVDB_Access_WRITE), S_OK);
        setup(m.get());
        ASSERT_EQ(root->Close(), S_OK);
    }

    TempDir dir_;
    std::string path_;
};

}  // namespace qv::test
