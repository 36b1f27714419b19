#include "netcheck/smb_network.h"

#include <libsmbclient.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace qv::net {

namespace {

void Anonymous(SMBCCTX*, const char*, const char*, char* workgroup, int, char* user, int user_len, char* password,
               int) {
    (void)workgroup;
    std::strncpy(user, "", static_cast<size_t>(user_len));
    password[0] = '\0';
}

}  // namespace

struct SmbNetwork::Impl {
    SMBCCTX* context = nullptr;
    struct Open {
        std::vector<NetResource> entries;
        bool delivered = false;
    };
    std::map<int, Open> open;
    int next_id = 0;
};

SmbNetwork::SmbNetwork(int timeout_ms, int port) : impl_(std::make_unique<Impl>()) {
    SMBCCTX* ctx = smbc_new_context();
    if (!ctx) return;
    // QV_SMB_DEBUG sets the library's own debug level, to see what a walk does.
    smbc_setDebug(ctx, std::getenv("QV_SMB_DEBUG") ? std::atoi(std::getenv("QV_SMB_DEBUG")) : 0);
    smbc_setTimeout(ctx, timeout_ms);
    if (port == 0)
        if (const char* text = std::getenv("QV_SMB_PORT")) port = std::atoi(text);
    if (port > 0) smbc_setPort(ctx, static_cast<uint16_t>(port));
    // A client configuration of its own (the tests' name service and protocol settings).
    if (const char* conf = std::getenv("QV_SMB_CONF"); conf && *conf) smbc_setConfiguration(ctx, conf);
    smbc_setFunctionAuthDataWithContext(ctx, Anonymous);
    smbc_setOptionUseKerberos(ctx, 0);
    smbc_setOptionFallbackAfterKerberos(ctx, 1);
    if (!smbc_init_context(ctx)) {
        smbc_free_context(ctx, 1);
        return;
    }
    impl_->context = ctx;
}

SmbNetwork::~SmbNetwork() {
    if (impl_->context) smbc_free_context(impl_->context, 1);
}

std::optional<NetResource> SmbNetwork::EntryOf(int type, const std::string& name, const std::string& server) {
    switch (type) {
        case SMBC_WORKGROUP: return NetResource{0, 1, 2, std::nullopt, name};
        case SMBC_SERVER: return NetResource{0, 2, 2, std::nullopt, "\\\\" + name};
        case SMBC_FILE_SHARE: return NetResource{1, 3, 0, std::nullopt, "\\\\" + server + "\\" + name};
        case SMBC_PRINTER_SHARE: return NetResource{2, 3, 0, std::nullopt, "\\\\" + server + "\\" + name};
        default: return std::nullopt;  // IPC and other shares are not part of the neighbourhood
    }
}

int SmbNetwork::Open(const NetResource* container) {
    SMBCCTX* ctx = impl_->context;
    if (!ctx) return -1;
    std::string url = "smb://", server;
    if (container && container->remote_name) {
        const std::string& name = *container->remote_name;
        if (container->display_type == 1) {
            url += name;
        } else if (container->display_type == 2 && name.rfind("\\\\", 0) == 0) {
            server = name.substr(2);
            url += server;
        } else {
            return -1;
        }
    }
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str());
    if (!dir) return -1;
    Impl::Open entry;
    while (smbc_dirent* d = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
        if (auto r = EntryOf(static_cast<int>(d->smbc_type), d->name, server)) entry.entries.push_back(*r);
    }
    smbc_getFunctionClosedir(ctx)(ctx, dir);
    const int id = impl_->next_id++;
    impl_->open[id] = std::move(entry);
    return id;
}

int SmbNetwork::NextBatch(int enumeration, std::vector<NetResource>* batch) {
    auto it = impl_->open.find(enumeration);
    if (it == impl_->open.end()) return 6;  // ERROR_INVALID_HANDLE
    if (it->second.delivered || it->second.entries.empty()) return kResultNoMoreItems;
    *batch = it->second.entries;
    it->second.delivered = true;
    return 0;
}

bool SmbNetwork::Close(int enumeration) { return impl_->open.erase(enumeration) == 1; }

}  // namespace qv::net
