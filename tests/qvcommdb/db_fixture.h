// A manager made directly (not through the module), and short ways to pass texts.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/db_node.h"

namespace qv::test {

using platform::Bstr;
using platform::ComPtr;

inline Bstr B(std::string_view text) { return Bstr::FromAnsi(text); }

class DbTest : public ::testing::Test {
protected:
    DbTest() : manager_(ComPtr<db::DBManager>::Share(db::DBManager::Create())) {}

    ComPtr<IDBNode> Node(const std::string& path) {
        ComPtr<IDBNode> node;
        EXPECT_EQ(manager_->CreateNode(B(path).get(), node.out()), S_OK) << path;
        return node;
    }
    static std::string NameOf(IDBNode* node) {
        Bstr name;
        node->GetName(name.out());
        return name.ToAnsi();
    }
    static std::string StringOf(IDBNode* node, const std::string& value) {
        Bstr text;
        EXPECT_EQ(node->GetString(B(value).get(), text.out()), S_OK) << value;
        return text.ToAnsi();
    }
    db::DBNode* Internal(IDBNode* node) { return static_cast<db::DBNode*>(node); }

    ComPtr<db::DBManager> manager_;
};

}  // namespace qv::test
