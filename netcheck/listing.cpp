#include "netcheck/listing.h"

#include "netcheck/check.h"

namespace qv::net {

namespace {
constexpr unsigned kContainer = 2;
const char kChooseComputer[] = "L\xC3\xBCtfen bilgisayar ad\xC4\xB1 se\xC3\xA7in";
const char kCloseFailed[] = "wnet kapat\xC4\xB1lamad\xC4\xB1";
}  // namespace

std::string HostOfNode(const std::string& text) { return text.size() > 2 ? text.substr(2) : std::string(); }

void NetListing::Refresh(NetEnumerator& source, ListingUi& ui) {
    ui.ShowBusy(true);
    tree_.clear();
    last_server_.reset();
    Enumerate(source, ui, nullptr);
    ui.ShowBusy(false);
}

bool NetListing::Enumerate(NetEnumerator& source, ListingUi& ui, const NetResource* container) {
    const int enumeration = source.Open(container);
    if (enumeration < 0) return false;
    for (;;) {
        std::vector<NetResource> batch;
        const int result = source.NextBatch(enumeration, &batch);
        if (result != 0) break;  // the end, or a failure: what was added stays
        try {
            for (const NetResource& entry : batch) {
                Add(entry);
                if (entry.usage & kContainer) Enumerate(source, ui, &entry);
            }
        } catch (const std::exception&) {
            // An error while an entry is handled ends this batch only.
        }
    }
    if (!source.Close(enumeration)) {
        ui.ShowMessage(kCloseFailed);
        return false;
    }
    return true;
}

void NetListing::Add(const NetResource& entry) {
    std::string line;
    if (entry.type == 1) line += "Disk    : ";
    if (entry.type == 2) line += "Printer : ";
    if (entry.display_type == 1) line += "Domain   : ";
    if (entry.display_type == 2) line += "Server   : ";
    if (entry.display_type == 3) line += "share  : ";
    if (entry.local_name) line += "Yerel Ad\xC4\xB1 = " + *entry.local_name;
    if (entry.remote_name) {
        const std::string& name = *entry.remote_name;
        if (entry.display_type == 2) {
            tree_.push_back({name, {}, true});
            last_server_ = tree_.size() - 1;
        }
        if (entry.type == 1) {
            if (last_server_)
                tree_[*last_server_].children.push_back({name, {}, true});
            else
                tree_.push_back({name, {}, true});
            shares_.push_back(name);
        }
        line += "A\xC4\x9F\x64\x61ki Ad\xC4\xB1 = " + name;
    }
    if (!line.empty()) records_.push_back(line);
}

void NetListing::Click(const std::vector<size_t>& path, ListingUi& ui, std::string* host) const {
    if (path.empty()) return;
    if (path.size() > 1) {
        ui.ShowMessage(kChooseComputer);
        host->clear();
        return;
    }
    if (path[0] < tree_.size()) *host = HostOfNode(tree_[path[0]].text);
}

void NetListing::ShowServers(const std::function<bool(const std::string&)>& probe, std::string* host) {
    // Top-level nodes are visited in order; share nodes are never probed and go with their
    // computer. A node kept is not met again.
    for (size_t i = 0; i < tree_.size();) {
        *host = HostOfNode(tree_[i].text);
        bool opened = false;
        for (const char* path : {kFirstDatabase, kSecondDatabase}) {
            try {
                if (probe(*host + ":" + path)) opened = true;
            } catch (const std::exception&) {
                // swallowed: it only counts against the computer
            }
        }
        if (opened)
            ++i;
        else
            tree_.erase(tree_.begin() + static_cast<long>(i));
    }
    for (TreeNode& node : tree_) {
        node.expanded = false;
        for (TreeNode& child : node.children) child.expanded = false;
    }
    host->clear();
}

}  // namespace qv::net
