// The store shared by real processes: a helper program started as a separate process holds,
// counts or churns the store while this process works on it.
#include <chrono>
#include <random>
#include <thread>

#include "platform/process.h"
#include "store_fixture.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string HelperPath() {
#if defined(_WIN32)
    return platform::ProgramDirectory() + "store_helper.exe";
#else
    return platform::ProgramDirectory() + "store_helper";
#endif
}

class StoreProcessTest : public StoreTest {
protected:
    std::unique_ptr<platform::ChildProcess> Start(const std::vector<std::string>& args) {
        auto child = platform::ChildProcess::Start(HelperPath(), args);
        EXPECT_NE(child, nullptr) << HelperPath();
        return child;
    }
    // Starts a helper that holds the store and waits until it does.
    std::unique_ptr<platform::ChildProcess> StartHolder(const std::vector<std::string>& args) {
        auto child = Start(args);
        if (child) {
            EXPECT_EQ(child->ReadLine(20000).value_or("(nothing)"), "held");
        }
        return child;
    }
};

TEST_F(StoreProcessTest, ASecondProcessWaitsASecondThenFailsAtOnceWhileTheMutexIsBusy) {
    Prepare([](db::DBManager*) {});
    CaptureFile reports("QV_REPORT_FILE");
    auto holder = StartHolder({"hold", path_, "3000"});
    ASSERT_NE(holder, nullptr);
    auto m = Manager(QVDB_Access_READ);
    auto root = Node(m.get(), "QVCDB:QVCommDB");
    auto t0 = Clock::now();
    EXPECT_EQ(root->Open(QVDB_Access_READ), E_ACCESSDENIED);
    const auto waited = Clock::now() - t0;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
    t0 = Clock::now();
    EXPECT_EQ(root->Open(QVDB_Access_READ), E_ACCESSDENIED);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(300));
    EXPECT_EQ(reports.Read(), "0xC0001391 Timeout on QVCommDB mutex\n");
    ASSERT_EQ(holder->Wait(20000).value_or(-1), 0);
    t0 = Clock::now();
    EXPECT_EQ(root->Open(QVDB_Access_READ), S_OK);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(300));
    EXPECT_EQ(root->Close(), S_OK);
    EXPECT_EQ(reports.Read(), "0xC0001391 Timeout on QVCommDB mutex\n");
}

TEST_F(StoreProcessTest, AHolderKilledDuringAnAccessLeavesTheMutexAndTheStore) {
    Prepare([](db::DBManager* m) { Node(m, "kept")->SetString(S("v").get(), S("intact").get()); });
    const std::string before = FileText();
    auto holder = StartHolder({"hold-forever", path_});
    ASSERT_NE(holder, nullptr);
    holder->Kill();
    ASSERT_TRUE(holder->Wait(20000).has_value());
    auto m = Manager(QVDB_Access_READ);
    auto kept = Node(m.get(), "kept");
    const auto t0 = Clock::now();
    ASSERT_EQ(kept->Open(QVDB_Access_READ), S_OK);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(900)) << "the abandoned mutex is obtained at once";
    EXPECT_EQ(Text(kept.get(), "v"), "intact");
    EXPECT_EQ(kept->Close(), S_OK);
    EXPECT_EQ(FileText(), before);
}

TEST_F(StoreProcessTest, EightProcessesCountingTogetherLoseNoIncrement) {
    Prepare([](db::DBManager*) {});
    const int kProcesses = 8, kAccesses = 200;
    std::vector<std::unique_ptr<platform::ChildProcess>> children;
    for (int i = 0; i < kProcesses; ++i) children.push_back(Start({"count", path_, std::to_string(kAccesses)}));
    long saved = 0;
    for (auto& child : children) {
        ASSERT_NE(child, nullptr);
        const auto line = child->ReadLine(180000);
        ASSERT_TRUE(line.has_value());
        saved += std::stol(*line);
        EXPECT_EQ(child->Wait(10000).value_or(-1), 0);
    }
    EXPECT_EQ(saved, kProcesses * kAccesses);
    auto m = Manager(QVDB_Access_READ);
    auto root = Node(m.get(), "QVCDB:QVCommDB");
    ASSERT_EQ(root->Open(QVDB_Access_READ), S_OK);
    ULONG counter = 0;
    EXPECT_EQ(root->GetDWord(S("counter").get(), &counter), S_OK);
    EXPECT_EQ(static_cast<long>(counter), saved);
    root->Close();
}

// The save never destroys the store: after a writer is killed at any instant, the file loads and
// holds one whole generation, old or new.
TEST_F(StoreProcessTest, AWriterKilledAtRandomInstantsLeavesAWholeTree) {
    const int kNodes = 40;
    std::mt19937 rng(7);
    ULONG last_generation = 0;
    for (int round = 0; round < 20; ++round) {
        auto writer = Start({"churn", path_, std::to_string(kNodes)});
        ASSERT_NE(writer, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + rng() % 150));
        writer->Kill();
        ASSERT_TRUE(writer->Wait(20000).has_value());
        auto m = Manager(QVDB_Access_READ);
        auto root = Node(m.get(), "QVCDB:QVCommDB");
        const HRESULT hr = root->Open(QVDB_Access_READ);
        if (hr == QVDB_E_LOADFAILED && FileText().empty()) continue;  // killed before its first save
        ASSERT_EQ(hr, S_OK) << "round " << round << ": " << FileText().substr(0, 200);
        ULONG generation = 0;
        for (int i = 0; i < kNodes; ++i) {
            ComPtr<IDBNode> node = Node(m.get(), std::string("n").append(std::to_string(i)));
            ULONG g = 0;
            ASSERT_EQ(node->GetDWord(S("gen").get(), &g), S_OK) << "round " << round << " node " << i;
            if (i == 0) generation = g;
            EXPECT_EQ(g, generation) << "round " << round << " node " << i << ": a tree of two generations";
        }
        root->Close();
        EXPECT_GE(generation, 1u);
        last_generation = generation;
    }
    EXPECT_GT(last_generation, 0u);
}

}  // namespace
}  // namespace qv::test
