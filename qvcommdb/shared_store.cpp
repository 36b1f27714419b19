#include "qvcommdb/shared_store.h"

#include <fstream>
#include <iterator>

#include "qvcomm/qvcommdb.h"
#include "qvcommdb/db_manager.h"
#include "qvcommdb/store_format.h"

namespace qv::db {

SharedStore::~SharedStore() = default;

bool SharedStore::AttachShared() {
    attached_ = true;
    return true;
}

void SharedStore::DetachShared() { attached_ = false; }

HRESULT SharedStore::LoadStore(DBManager& manager, ULONG) {
    if (!AttachShared()) return E_FAIL;
    std::ifstream in(store_path_, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) return QVDB_E_LOADFAILED;
    return MergeStoreText(manager, text.data(), text.size());
}

HRESULT SharedStore::SaveStore(DBManager& manager) {
    if (!(manager.access_type() & QVDB_Access_WRITE)) return S_OK;
    std::string text;
    if (!ComposeStoreText(manager, &text)) return QVDB_E_SAVEFAILED;
    std::ofstream out(store_path_, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return out ? S_OK : QVDB_E_SAVEFAILED;
}

}  // namespace qv::db
