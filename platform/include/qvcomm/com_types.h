// COM base types shared by every module of the system.
//
// On Windows these are the system's own (<objbase.h>, <oleauto.h>). On Linux they are defined
// here with the same layout: HRESULT and ULONG are 32 bits, a GUID is 16 bytes, an OLECHAR is a
// 16-bit code unit and a BSTR points at the first character of a buffer that carries its byte
// length in the 32 bits before it and a terminating 16-bit zero after it.
#pragma once

#include <cstdint>

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <unknwn.h>

#define QV_EXPORT __declspec(dllexport)

#else  // POSIX

#define QV_EXPORT __attribute__((visibility("default")))

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef uint32_t UINT;
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* LPOLESTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define STDAPI extern "C" HRESULT STDAPICALLTYPE

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

#define MAKE_HRESULT_CONST(v) static_cast<HRESULT>(static_cast<uint32_t>(v))
#define S_OK MAKE_HRESULT_CONST(0x00000000u)
#define S_FALSE MAKE_HRESULT_CONST(0x00000001u)
#define E_NOTIMPL MAKE_HRESULT_CONST(0x80004001u)
#define E_NOINTERFACE MAKE_HRESULT_CONST(0x80004002u)
#define E_POINTER MAKE_HRESULT_CONST(0x80004003u)
#define E_ABORT MAKE_HRESULT_CONST(0x80004004u)
#define E_FAIL MAKE_HRESULT_CONST(0x80004005u)
#define E_UNEXPECTED MAKE_HRESULT_CONST(0x8000FFFFu)
#define E_ACCESSDENIED MAKE_HRESULT_CONST(0x80070005u)
#define E_OUTOFMEMORY MAKE_HRESULT_CONST(0x8007000Eu)
#define E_INVALIDARG MAKE_HRESULT_CONST(0x80070057u)
#define CLASS_E_NOAGGREGATION MAKE_HRESULT_CONST(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE MAKE_HRESULT_CONST(0x80040111u)
#define REGDB_E_CLASSNOTREG MAKE_HRESULT_CONST(0x80040154u)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

inline HRESULT HRESULT_FROM_WIN32(unsigned long x) {
    return static_cast<HRESULT>(x) <= 0
               ? static_cast<HRESULT>(x)
               : static_cast<HRESULT>((x & 0x0000FFFFu) | 0x80070000u);
}

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;

protected:
    ~IClassFactory() = default;
};

// OLE Automation strings. Exported by libQVCommDB.so so that clients have one definition; every
// copy allocates with malloc and frees with free, so a string may cross between modules freely.
extern "C" {
QV_EXPORT BSTR SysAllocString(const OLECHAR* psz);
QV_EXPORT BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
QV_EXPORT UINT SysStringLen(BSTR bstr);
QV_EXPORT UINT SysStringByteLen(BSTR bstr);
QV_EXPORT void SysFreeString(BSTR bstrString);
}

#endif  // _WIN32
