// netcheck-probe NAME: one attempt to open a database with the tool's connection parameters.
// Exit status 0: it opened and closed again; 2: it opened but did not close; 1: it did not open.
#include <ibase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "netcheck/probe.h"

namespace {

void Put(std::vector<char>& dpb, char item, const std::string& value) {
    dpb.push_back(item);
    dpb.push_back(static_cast<char>(value.size()));
    dpb.insert(dpb.end(), value.begin(), value.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: netcheck-probe DATABASE\n");
        return 1;
    }
    const std::string name = qv::net::ClientDatabaseName(argv[1]);
    std::vector<char> dpb = {isc_dpb_version1};
    Put(dpb, isc_dpb_user_name, qv::net::kProbeUser);
    Put(dpb, isc_dpb_password, qv::net::kProbePassword);
    Put(dpb, isc_dpb_lc_ctype, qv::net::kProbeCharset);
    dpb.push_back(isc_dpb_sql_dialect);
    dpb.push_back(1);
    dpb.push_back(static_cast<char>(qv::net::kProbeDialect));
    ISC_STATUS_ARRAY status = {};
    isc_db_handle db = 0;
    if (isc_attach_database(status, 0, name.c_str(), &db, static_cast<short>(dpb.size()), dpb.data())) {
        isc_print_status(status);
        return 1;
    }
    if (isc_detach_database(status, &db)) return 2;
    return 0;
}
