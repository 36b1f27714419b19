// The exported entry points of the database module.
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/class_factory.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return qv::db::GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return qv::db::CanUnloadNow(); }
