// The network neighbourhood through libsmbclient: workgroups, their servers and the servers'
// disk and printer shares, as the listing expects them (remote names \\SERVER, \\SERVER\share).
#pragma once

#include <memory>
#include <vector>

#include "netcheck/listing.h"

namespace qv::net {

class SmbNetwork final : public NetEnumerator {
public:
    // `timeout_ms` bounds every request to a server; `port` 0 is the standard one (the
    // environment variable QV_SMB_PORT names another, which tests use).
    explicit SmbNetwork(int timeout_ms = 5000, int port = 0);
    ~SmbNetwork() override;

    int Open(const NetResource* container) override;
    int NextBatch(int enumeration, std::vector<NetResource>* batch) override;
    bool Close(int enumeration) override;

    // The remote name of a directory entry of the given type under the container's URL part.
    static std::optional<NetResource> EntryOf(int smbc_type, const std::string& name, const std::string& server);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::net
