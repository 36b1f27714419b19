// The network neighbourhood listing and the server listing of netcheck, free of any window
// toolkit: the tree of computers with their disk shares, the record lines, the share names.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::net {

// One enumerated entry, with the fields the tool uses.
struct NetResource {
    int type = 0;           // 1 disk, 2 print
    int display_type = 0;   // 1 domain, 2 server, 3 share
    unsigned usage = 0;     // bit 2: a container
    std::optional<std::string> local_name;
    std::optional<std::string> remote_name;  // "\\\\SERVER", "\\\\SERVER\\share"
};

inline constexpr int kResultNoMoreItems = 259;

// A source of entries: a container is opened, read in batches and closed.
class NetEnumerator {
public:
    virtual ~NetEnumerator() = default;
    // An enumeration of the container (null: the whole network), or -1 when it cannot be opened.
    virtual int Open(const NetResource* container) = 0;
    // The next batch: 0 with entries, kResultNoMoreItems at the end, anything else a failure.
    virtual int NextBatch(int enumeration, std::vector<NetResource>* batch) = 0;
    virtual bool Close(int enumeration) = 0;
};

struct TreeNode {
    std::string text;
    std::vector<TreeNode> children;
    bool expanded = true;
};

class ListingUi {
public:
    virtual ~ListingUi() = default;
    virtual void ShowBusy(bool shown) = 0;  // the busy notice
    virtual void ShowMessage(const std::string& text) = 0;
};

class NetListing {
public:
    // RefreshClick: the tree built anew from the whole network.
    void Refresh(NetEnumerator& source, ListingUi& ui);
    // EnumerateNetResources: true when the container's enumeration opened and closed properly.
    bool Enumerate(NetEnumerator& source, ListingUi& ui, const NetResource* container);
    // AddNetResource.
    void Add(const NetResource& entry);
    // listeClick on the node at `path` (its indexes from the top, empty: no selection). Sets
    // `host` as the click does.
    void Click(const std::vector<size_t>& path, ListingUi& ui, std::string* host) const;
    // Button2Click: keeps the computers on which one of the two databases opens, collapsed.
    // `probe` tries one database name; `host` follows the walk and ends empty.
    void ShowServers(const std::function<bool(const std::string&)>& probe, std::string* host);

    const std::vector<TreeNode>& tree() const { return tree_; }
    const std::vector<std::string>& record_lines() const { return records_; }  // ListBox1
    const std::vector<std::string>& share_names() const { return shares_; }    // ListBox3
    // LastServerNode: the index of the computer added last, if any.
    std::optional<size_t> last_server() const { return last_server_; }

private:
    std::vector<TreeNode> tree_;
    std::optional<size_t> last_server_;
    std::vector<std::string> records_;
    std::vector<std::string> shares_;
};

// The bare computer name of a node text: without its first two characters.
std::string HostOfNode(const std::string& text);

}  // namespace qv::net
