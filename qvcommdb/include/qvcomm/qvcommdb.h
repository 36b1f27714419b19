// Client interface of the configuration database QVCommDB.
//
// A client obtains the class object of DBManager through the module's DllGetClassObject, makes
// a manager with IClassFactory::CreateInstance and reaches every node and value through the
// interfaces below. Methods are listed in their slot order. Every text is a BSTR; texts handed
// out are allocated with SysAllocString and freed by the receiver.
//
// Ownership of results: CreateNode, EnumValues, EnumChildren and NextIUnknown hand out owned
// references (release them); GetValue, AddValue and IDBNode::GetInterface hand out borrowed
// ones (valid while the object stays in the tree; never release them).
#pragma once

#include "qvcomm/com_types.h"

// Result codes of the database besides the standard ones.
#define QVDB_E_SAVEFAILED static_cast<HRESULT>(0x80040200u)
#define QVDB_E_LOADFAILED static_cast<HRESULT>(0x80040201u)

// Access modes: a 32-bit set.
enum : ULONG {
    QVDB_Access_READ = 1,
    QVDB_Access_WRITE = 2,
};

enum QVDB_Type : int32_t {
    QVDB_Type_NONE = 0,
    QVDB_Type_UINT = 1,
    QVDB_Type_STRING = 2,
    QVDB_Type_BLOB = 3,
    QVDB_Type_CHILD = 4,
    QVDB_Type_REFERENCE = 5,
};

// The caller's protection routine, passed to SetAccessType as fpSetProtection. The database
// calls it with (0x40000, 0) before and (0x40000, 1) after it opens and writes the store file,
// and only for a manager with write access. Its result is not looked at.
typedef int(STDMETHODCALLTYPE* QVDB_SetProtection)(ULONG what, ULONG on);

struct IDBNode;

// {5000BE08-7D1F-4B35-A952-C4F3997337E9}
inline constexpr IID IID_IDBManager = {0x5000BE08, 0x7D1F, 0x4B35,
                                       {0xA9, 0x52, 0xC4, 0xF3, 0x99, 0x73, 0x37, 0xE9}};
// {FC52A1C9-FAEE-460B-9D30-E5349BC7953B}
inline constexpr IID IID_IDBNode = {0xFC52A1C9, 0xFAEE, 0x460B,
                                    {0x9D, 0x30, 0xE5, 0x34, 0x9B, 0xC7, 0x95, 0x3B}};
// {5D16E2A6-4559-4F7B-9E8C-A565EA680DD3}
inline constexpr IID IID_IDBValue = {0x5D16E2A6, 0x4559, 0x4F7B,
                                     {0x9E, 0x8C, 0xA5, 0x65, 0xEA, 0x68, 0x0D, 0xD3}};
// {3E7FC51A-FED2-4F4A-A4A4-16E2D2DB6CBD}
inline constexpr IID IID_IDBEnumNode = {0x3E7FC51A, 0xFED2, 0x4F4A,
                                        {0xA4, 0xA4, 0x16, 0xE2, 0xD2, 0xDB, 0x6C, 0xBD}};

// {9FFDF8A8-917F-4CDB-9567-3A34ABCEFA1C}
inline constexpr CLSID CLSID_DBManager = {0x9FFDF8A8, 0x917F, 0x4CDB,
                                          {0x95, 0x67, 0x3A, 0x34, 0xAB, 0xCE, 0xFA, 0x1C}};
// {2D07008E-93FA-4336-BED8-AA55911C5A9B}
inline constexpr CLSID CLSID_DBNode = {0x2D07008E, 0x93FA, 0x4336,
                                       {0xBE, 0xD8, 0xAA, 0x55, 0x91, 0x1C, 0x5A, 0x9B}};
// {CE4130F3-46D0-43CE-9E89-684D4540ECEA}
inline constexpr CLSID CLSID_DBEnumNode = {0xCE4130F3, 0x46D0, 0x43CE,
                                           {0x9E, 0x89, 0x68, 0x4D, 0x45, 0x40, 0xEC, 0xEA}};
// {A1602D22-5782-4587-9599-2A540343EC30}
inline constexpr CLSID CLSID_DBValue = {0xA1602D22, 0x5782, 0x4587,
                                        {0x95, 0x99, 0x2A, 0x54, 0x03, 0x43, 0xEC, 0x30}};
// {17775F17-BD50-4242-8014-02A7AA782A16}
inline constexpr GUID LIBID_QVCOMMDBLib = {0x17775F17, 0xBD50, 0x4242,
                                           {0x80, 0x14, 0x02, 0xA7, 0xAA, 0x78, 0x2A, 0x16}};

struct IDBValue : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDWord(ULONG* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetType(QVDB_Type* pType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInterface(IDBNode** pNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlob(ULONG* pSize, unsigned char** ppBlob) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDWord(ULONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetString(BSTR Val) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInterface(BSTR Name, IDBNode* ppVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBlob(BSTR Name, ULONG Size, unsigned char* pBlob) = 0;

protected:
    ~IDBValue() = default;
};

struct IDBEnumNode : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE NextIUnknown(IUnknown** ppVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Next(BSTR* pName) = 0;

protected:
    ~IDBEnumNode() = default;
};

struct IDBNode : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(BSTR Name, IDBValue** ppValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddValue(BSTR Name, IDBValue** ppValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNode(BSTR Path, IDBNode** ppNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(ULONG AccessType) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteValue(BSTR Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDWord(BSTR Name, ULONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(BSTR Name, BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInterface(BSTR Name, IDBNode** ppVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBlob(BSTR Name, ULONG* pSize, unsigned char** ppBlob) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDWord(BSTR Name, ULONG Val) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetString(BSTR Name, BSTR Val) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInterface(BSTR Name, IDBNode* ppVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBlob(BSTR Name, ULONG Size, unsigned char* pBlob) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumValues(IDBEnumNode** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumChildren(IDBEnumNode** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteNode() = 0;

protected:
    ~IDBNode() = default;
};

struct IDBManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Init(BSTR StoreName) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNode(BSTR Path, IDBNode** ppNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAccessType(ULONG dwAccess, void* fpSetProtection) = 0;

protected:
    ~IDBManager() = default;
};

// The module's exports (the system's own declarations on Windows).
#if !defined(_WIN32)
extern "C" {
QV_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
QV_EXPORT HRESULT DllCanUnloadNow();
QV_EXPORT HRESULT DllRegisterServer();
QV_EXPORT HRESULT DllUnregisterServer();
}
#endif
typedef HRESULT(STDAPICALLTYPE* QVDB_DllGetClassObject)(REFCLSID rclsid, REFIID riid, void** ppv);
typedef HRESULT(STDAPICALLTYPE* QVDB_DllCanUnloadNow)();
typedef HRESULT(STDAPICALLTYPE* QVDB_DllRegisterServer)();
