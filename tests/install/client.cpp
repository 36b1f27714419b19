// A client built against the installed headers and library only: makes a manager through the
// exports, builds a node with a value and reads it back.
#include <qvcomm/qvcommdb.h>

#include <cstdio>

int main() {
    IClassFactory* factory = nullptr;
    if (DllGetClassObject(CLSID_DBManager, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) return 1;
    IDBManager* manager = nullptr;
    if (factory->CreateInstance(nullptr, IID_IDBManager, reinterpret_cast<void**>(&manager)) != S_OK) return 2;
    factory->Release();
    const OLECHAR path[] = {'a', '/', 'b', 0}, name[] = {'v', 0}, text[] = {'o', 'k', 0};
    BSTR p = SysAllocString(path), n = SysAllocString(name), t = SysAllocString(text);
    IDBNode* node = nullptr;
    if (manager->CreateNode(p, &node) != S_OK) return 3;
    node->SetString(n, t);
    BSTR back = nullptr;
    if (node->GetString(n, &back) != S_OK || SysStringLen(back) != 2 || back[0] != 'o') return 4;
    SysFreeString(back);
    SysFreeString(p), SysFreeString(n), SysFreeString(t);
    node->Release();
    manager->Release();
    if (DllCanUnloadNow() != S_OK) return 5;
    std::puts("installed client: ok");
    return 0;
}
