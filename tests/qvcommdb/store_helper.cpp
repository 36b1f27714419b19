// A separate process for the store tests: it works on a store as another program would.
//   store_helper hold PATH MS        open the root for writing, print "held", wait, close
//   store_helper hold-forever PATH   open the root for writing, print "held", wait to be killed
//   store_helper count PATH N        N read-modify-write accesses on the value "counter",
//                                    retrying refused ones; prints how many were saved
//   store_helper churn PATH K        saves generation after generation of K nodes, each with
//                                    the generation number, until killed
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"

using qv::platform::Bstr;
using qv::platform::ComPtr;

namespace {

ComPtr<qv::db::DBManager> Manager(const std::string& path) {
    auto m = ComPtr<qv::db::DBManager>::Share(qv::db::DBManager::Create());
    m->Init(Bstr::FromAnsi(path).get());
    m->SetAccessType(QVDB_Access_WRITE, nullptr);
    return m;
}

ComPtr<IDBNode> Root(qv::db::DBManager* m) {
    ComPtr<IDBNode> root;
    m->CreateNode(Bstr::FromAnsi("QVCDB:QVCommDB").get(), root.out());
    return root;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string command = argv[1], path = argv[2];
    auto manager = Manager(path);
    auto root = Root(manager.get());
    if (command == "hold" || command == "hold-forever") {
        const HRESULT hr = root->Open(QVDB_Access_WRITE);
        if (hr != S_OK) {
            Say("failed " + std::to_string(static_cast<unsigned>(hr)));
            return 1;
        }
        Say("held");
        if (command == "hold-forever") std::this_thread::sleep_for(std::chrono::hours(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(argc > 3 ? std::atoi(argv[3]) : 1000));
        return root->Close() == S_OK ? 0 : 1;
    }
    if (command == "count") {
        const int n = argc > 3 ? std::atoi(argv[3]) : 100;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        int saved = 0;
        for (int i = 0; i < n && std::chrono::steady_clock::now() < deadline;) {
            const HRESULT hr = root->Open(QVDB_Access_WRITE);
            if (hr == E_ACCESSDENIED) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (hr != S_OK) {
                Say("open failed " + std::to_string(static_cast<unsigned>(hr)));
                return 1;
            }
            ULONG counter = 0;
            if (root->GetDWord(Bstr::FromAnsi("counter").get(), &counter) != S_OK) counter = 0;
            root->SetDWord(Bstr::FromAnsi("counter").get(), counter + 1);
            if (root->Close() == S_OK) ++saved;
            ++i;
        }
        Say(std::to_string(saved));
        return 0;
    }
    if (command == "churn") {
        const int k = argc > 3 ? std::atoi(argv[3]) : 50;
        for (ULONG generation = 1;; ++generation) {
            if (root->Open(QVDB_Access_WRITE) != S_OK) continue;
            for (int i = 0; i < k; ++i) {
                ComPtr<IDBNode> node;
                std::string name = "n";
                name += std::to_string(i);
                root->CreateNode(Bstr::FromAnsi(name).get(), node.out());
                node->SetDWord(Bstr::FromAnsi("gen").get(), generation);
                // A size that changes from generation to generation.
                node->SetString(Bstr::FromAnsi("pad").get(),
                                Bstr::FromAnsi(std::string((generation * 7 + static_cast<ULONG>(i)) % 400, 'x')).get());
            }
            root->Close();
        }
    }
    return 2;
}
