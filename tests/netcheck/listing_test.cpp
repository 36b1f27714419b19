// The listing and the server listing over a scripted enumeration source.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "netcheck/listing.h"

namespace qv::test {
namespace {

using net::NetResource;

NetResource Domain(const std::string& name) { return {0, 1, 2, std::nullopt, name}; }
NetResource Server(const std::string& name) { return {0, 2, 2, std::nullopt, name}; }
NetResource Disk(const std::string& name) { return {1, 3, 0, std::nullopt, name}; }
NetResource Printer(const std::string& name) { return {2, 3, 0, std::nullopt, name}; }

// Containers by remote name ("" is the whole network): their batches, then the end code.
struct ScriptedSource final : net::NetEnumerator {
    std::map<std::string, std::vector<std::vector<NetResource>>> batches;
    std::map<std::string, int> end_code;      // default: no more items
    std::set<std::string> unopenable, unclosable;
    std::vector<std::pair<std::string, size_t>> open;  // container, next batch
    std::vector<std::string> opened_order;

    int Open(const NetResource* c) override {
        const std::string name = c && c->remote_name ? *c->remote_name : "";
        opened_order.push_back(name);
        if (unopenable.count(name)) return -1;
        open.emplace_back(name, 0);
        return static_cast<int>(open.size() - 1);
    }
    int NextBatch(int e, std::vector<NetResource>* batch) override {
        auto& [name, next] = open[static_cast<size_t>(e)];
        const auto& all = batches[name];
        if (next < all.size()) {
            *batch = all[next++];
            return 0;
        }
        const auto code = end_code.find(name);
        return code == end_code.end() ? net::kResultNoMoreItems : code->second;
    }
    bool Close(int e) override { return !unclosable.count(open[static_cast<size_t>(e)].first); }
};

struct RecordingUi final : net::ListingUi {
    std::vector<std::string> events;
    void ShowBusy(bool shown) override { events.push_back(shown ? "busy" : "idle"); }
    void ShowMessage(const std::string& text) override { events.push_back("message " + text); }
};

ScriptedSource Network() {
    ScriptedSource s;
    s.batches[""] = {{Domain("WORKGROUP")}};
    s.batches["WORKGROUP"] = {{Server("\\\\ALPHA"), Server("\\\\BETA")}, {Server("\\\\GAMMA")}};
    s.batches["\\\\ALPHA"] = {{Disk("\\\\ALPHA\\docs"), Printer("\\\\ALPHA\\laser")}, {Disk("\\\\ALPHA\\ders")}};
    s.unopenable = {"\\\\BETA"};
    return s;
}

TEST(Listing, BuildsComputersWithTheirDiskSharesInDepthFirstOrder) {
    ScriptedSource source = Network();
    RecordingUi ui;
    net::NetListing listing;
    listing.Refresh(source, ui);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "idle"}));
    EXPECT_EQ(source.opened_order,
              (std::vector<std::string>{"", "WORKGROUP", "\\\\ALPHA", "\\\\BETA", "\\\\GAMMA"}));
    ASSERT_EQ(listing.tree().size(), 3u);
    EXPECT_EQ(listing.tree()[0].text, "\\\\ALPHA");
    ASSERT_EQ(listing.tree()[0].children.size(), 2u);
    EXPECT_EQ(listing.tree()[0].children[0].text, "\\\\ALPHA\\docs");
    EXPECT_EQ(listing.tree()[0].children[1].text, "\\\\ALPHA\\ders");
    EXPECT_TRUE(listing.tree()[1].children.empty()) << "a computer whose shares cannot be listed";
    EXPECT_EQ(listing.last_server(), 2u);
    EXPECT_EQ(listing.record_lines(), (std::vector<std::string>{
                                          "Domain   : A\xC4\x9F" "daki Ad\xC4\xB1 = WORKGROUP",
                                          "Server   : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\ALPHA",
                                          "Disk    : share  : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\ALPHA\\docs",
                                          "Printer : share  : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\ALPHA\\laser",
                                          "Disk    : share  : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\ALPHA\\ders",
                                          "Server   : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\BETA",
                                          "Server   : A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\GAMMA",
                                      }));
    EXPECT_EQ(listing.share_names(), (std::vector<std::string>{"\\\\ALPHA\\docs", "\\\\ALPHA\\ders"}));
    // A second listing rebuilds the tree; the lines of the first stay and the new ones follow.
    listing.Refresh(source, ui);
    EXPECT_EQ(listing.tree().size(), 3u);
    EXPECT_EQ(listing.record_lines().size(), 14u);
    EXPECT_EQ(listing.share_names().size(), 4u);
}

TEST(Listing, LocalNamesOrphanSharesFailuresAndFailedCloses) {
    ScriptedSource source;
    NetResource mapped = Disk("\\\\FAR\\share");
    mapped.local_name = "Z:";
    source.batches[""] = {{mapped, NetResource{}}, {Server("\\\\NEAR")}};
    source.batches["\\\\NEAR"] = {{Disk("\\\\NEAR\\a")}};
    source.end_code["\\\\NEAR"] = 234;  // a failing batch call ends the container with what it had
    source.unclosable = {""};
    RecordingUi ui;
    net::NetListing listing;
    listing.Refresh(source, ui);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "message wnet kapat\xC4\xB1lamad\xC4\xB1", "idle"}));
    ASSERT_EQ(listing.tree().size(), 2u);
    EXPECT_EQ(listing.tree()[0].text, "\\\\FAR\\share") << "a share met before any computer stands at the top";
    EXPECT_EQ(listing.tree()[1].children.size(), 1u);
    EXPECT_EQ(listing.record_lines()[0],
              "Disk    : share  : Yerel Ad\xC4\xB1 = Z:A\xC4\x9F" "daki Ad\xC4\xB1 = \\\\FAR\\share");
    EXPECT_EQ(listing.record_lines().size(), 3u) << "an entry with no part gives no line";
}

TEST(Listing, ClicksPickAComputerOrAskForOne) {
    ScriptedSource source = Network();
    RecordingUi ui;
    net::NetListing listing;
    listing.Refresh(source, ui);
    ui.events.clear();
    std::string host = "before";
    listing.Click({}, ui, &host);
    EXPECT_EQ(host, "before");
    listing.Click({0}, ui, &host);
    EXPECT_EQ(host, "ALPHA");
    listing.Click({0, 1}, ui, &host);
    EXPECT_EQ(host, "");
    EXPECT_EQ(ui.events, (std::vector<std::string>{"message L\xC3\xBCtfen bilgisayar ad\xC4\xB1 se\xC3\xA7in"}));
    EXPECT_EQ(net::HostOfNode("\\\\"), "");
    EXPECT_EQ(net::HostOfNode("\\\\X"), "X");
}

TEST(ServerListing, KeepsTheComputersWhereADatabaseOpensCollapsed) {
    ScriptedSource source = Network();
    RecordingUi ui;
    net::NetListing listing;
    listing.Refresh(source, ui);
    std::vector<std::string> probed;
    std::string host = "ALPHA";
    listing.ShowServers(
        [&](const std::string& name) {
            probed.push_back(name);
            if (name == "GAMMA:c:\\ders\\dershane.gdb") throw std::runtime_error("unreachable");
            return name == "GAMMA:c:\\ders\\smart.gdb";  // only the second opens
        },
        &host);
    EXPECT_EQ(probed, (std::vector<std::string>{"ALPHA:c:\\ders\\dershane.gdb", "ALPHA:c:\\ders\\smart.gdb",
                                                "BETA:c:\\ders\\dershane.gdb", "BETA:c:\\ders\\smart.gdb",
                                                "GAMMA:c:\\ders\\dershane.gdb", "GAMMA:c:\\ders\\smart.gdb"}));
    ASSERT_EQ(listing.tree().size(), 1u);
    EXPECT_EQ(listing.tree()[0].text, "\\\\GAMMA");
    EXPECT_FALSE(listing.tree()[0].expanded);
    EXPECT_EQ(host, "");
    listing.ShowServers([](const std::string&) { return false; }, &host);
    EXPECT_TRUE(listing.tree().empty());
    listing.ShowServers([](const std::string&) { return true; }, &host);  // an empty tree
    EXPECT_EQ(host, "");
}

}  // namespace
}  // namespace qv::test
