// The plug-in library QVComm and the contract of its plug-ins.
//
// A user of the library calls InitializePluginManager once, GetPluginManager as often as it
// likes, and UninitializePluginManager once for each successful InitializePluginManager. Classes
// are named by a type and a name, or by a class identifier; the registry finds the plug-in that
// provides them, loads it on demand and has it create the object.
//
// A plug-in is a shared library exporting "Initialize", "Terminate", "GetPluginId" and
// "GetPlugin" (see QV_PLUGIN_ENTRY_POINTS below). Texts are narrow, in the system's ANSI code page.
#pragma once

#include "qvcomm/com_types.h"

struct IPluginRegistry;

// {986BBE99-2774-46EA-BBA5-D5923F49303D}
inline constexpr IID IID_IPluginRegistry = {0x986BBE99, 0x2774, 0x46EA,
                                            {0xBB, 0xA5, 0xD5, 0x92, 0x3F, 0x49, 0x30, 0x3D}};
// {5DB19999-128D-42FF-9EA7-A7B95B73A8A9}
inline constexpr IID IID_IPluginManager = {0x5DB19999, 0x128D, 0x42FF,
                                           {0x9E, 0xA7, 0xA7, 0xB9, 0x5B, 0x73, 0xA8, 0xA9}};
// The registry hands itself out as this class. {6B2943F1-4434-4A7C-9D0B-C37C4DE60C0F}
inline constexpr CLSID CLSID_PluginRegistry = {0x6B2943F1, 0x4434, 0x4A7C,
                                               {0x9D, 0x0B, 0xC3, 0x7C, 0x4D, 0xE6, 0x0C, 0x0F}};
// {2C7E5A41-93B6-4E0F-8D51-6A0B9C3E7F12}
inline constexpr IID IID_IPlugin = {0x2C7E5A41, 0x93B6, 0x4E0F, {0x8D, 0x51, 0x6A, 0x0B, 0x9C, 0x3E, 0x7F, 0x12}};
// {7F1D0C33-5E8A-4B27-A6C4-0D9E2B51F863}
inline constexpr IID IID_IObjectSink = {0x7F1D0C33, 0x5E8A, 0x4B27,
                                        {0xA6, 0xC4, 0x0D, 0x9E, 0x2B, 0x51, 0xF8, 0x63}};

// The type under which classes registered by class identifier are listed.
#define QVCOMM_GUID_NAMESPACE "clsid.qvcomm.quorvex.local"

// Receives an object created for it; the reference passes to the sink.
struct IObjectSink : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnObject(IUnknown* object) = 0;

protected:
    ~IObjectSink() = default;
};

// Called once per class name by EnumClasses; the name is valid during the call.
struct IClassEnumCallback {
    virtual HRESULT STDMETHODCALLTYPE OnClass(const char* name) = 0;

protected:
    ~IClassEnumCallback() = default;
};

struct IPluginRegistry : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE RegisterPlugin(const char* path) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterPlugin(const GUID* plugin_id) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPluginClass(const char* type, const char* name,
                                                          const GUID* plugin_id) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPluginClassByClsid(const GUID* clsid, const GUID* plugin_id) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterPluginClassByClsid(const GUID* clsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid,
                                                   void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectToSink(const char* type, const char* name, REFIID iid,
                                                         IObjectSink* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectByClsidToSink(const GUID* clsid, REFIID iid,
                                                                IObjectSink* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumClasses(const char* type, IClassEnumCallback* callback) = 0;
    virtual ~IPluginRegistry() = default;
};

struct IPlugin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Register(IPluginRegistry* registry) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unregister(IPluginRegistry* registry) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid,
                                                   void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectToSink(const char* type, const char* name, REFIID iid,
                                                         IObjectSink* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectByClsidToSink(const GUID* clsid, REFIID iid,
                                                                IObjectSink* sink) = 0;

protected:
    ~IPlugin() = default;
};

struct IPluginManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateObject(const char* type, const char* name, REFIID iid,
                                                   void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectByClsid(const GUID* clsid, REFIID iid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectToSink(const char* type, const char* name, REFIID iid,
                                                         IObjectSink* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectByClsidToSink(const GUID* clsid, REFIID iid,
                                                                IObjectSink* sink) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumClasses(const char* type, IClassEnumCallback* callback) = 0;
    virtual ~IPluginManager() = default;
};

// The library's entry points.
#if defined(QVCOMM_BUILDING)
#define QVCOMM_API extern "C" QV_EXPORT
#else
#define QVCOMM_API extern "C"
#endif
QVCOMM_API HRESULT STDMETHODCALLTYPE InitializePluginManager(BOOL writer, void* protection);
QVCOMM_API void STDMETHODCALLTYPE UninitializePluginManager();
QVCOMM_API HRESULT STDMETHODCALLTYPE GetPluginManager(IPluginManager** manager);
QVCOMM_API BOOL STDMETHODCALLTYPE RegisterPluginLibrary(const char* path);
QVCOMM_API BOOL STDMETHODCALLTYPE UnregisterPluginLibrary(const char* path);

typedef HRESULT(STDMETHODCALLTYPE* QVCOMM_InitializePluginManager)(BOOL writer, void* protection);
typedef void(STDMETHODCALLTYPE* QVCOMM_UninitializePluginManager)();
typedef HRESULT(STDMETHODCALLTYPE* QVCOMM_GetPluginManager)(IPluginManager** manager);
typedef BOOL(STDMETHODCALLTYPE* QVCOMM_RegisterPluginLibrary)(const char* path);

// The four entry points of a plug-in library, in the order they are looked up.
typedef HRESULT(STDMETHODCALLTYPE* QVPLUGIN_Initialize)();
typedef void(STDMETHODCALLTYPE* QVPLUGIN_Terminate)();
typedef HRESULT(STDMETHODCALLTYPE* QVPLUGIN_GetPluginId)(GUID* id);
typedef HRESULT(STDMETHODCALLTYPE* QVPLUGIN_GetPlugin)(void* reserved, IPlugin** plugin);

// Declares the four entry points in a plug-in's source, exported under their plain names.
#define QV_PLUGIN_ENTRY_POINTS                                                   \
    extern "C" QV_EXPORT HRESULT STDMETHODCALLTYPE Initialize();                  \
    extern "C" QV_EXPORT void STDMETHODCALLTYPE Terminate();                      \
    extern "C" QV_EXPORT HRESULT STDMETHODCALLTYPE GetPluginId(GUID* id);         \
    extern "C" QV_EXPORT HRESULT STDMETHODCALLTYPE GetPlugin(void* reserved, IPlugin** plugin)
