// The interface of the example plug-in's objects, for the callers that use them.
#pragma once

#include "qvcomm/com_types.h"

// {5C3A9E11-0B7D-4F62-9A1E-3D84C2B6F0A7}
inline constexpr IID IID_IExampleObject = {0x5C3A9E11, 0x0B7D, 0x4F62,
                                           {0x9A, 0x1E, 0x3D, 0x84, 0xC2, 0xB6, 0xF0, 0xA7}};
// The plug-in's identifier. {B8D4F2A6-7C19-4E35-8F0B-1A6E9D3C5B27}
inline constexpr GUID kExamplePluginId = {0xB8D4F2A6, 0x7C19, 0x4E35,
                                          {0x8F, 0x0B, 0x1A, 0x6E, 0x9D, 0x3C, 0x5B, 0x27}};
// The class it provides by class identifier. {E1F7A3C5-2B9D-4C60-B4E8-7F02A6D1C93B}
inline constexpr CLSID CLSID_ExampleClock = {0xE1F7A3C5, 0x2B9D, 0x4C60,
                                             {0xB4, 0xE8, 0x7F, 0x02, 0xA6, 0xD1, 0xC9, 0x3B}};

inline constexpr char kExampleType[] = "qv.example";

struct IExampleObject : public IUnknown {
    // Writes a line about the object into `buffer` (at most `size` bytes with the terminator).
    virtual HRESULT STDMETHODCALLTYPE Describe(char* buffer, ULONG size) = 0;
    // One step of the object's work; returns the count of steps so far.
    virtual LONG STDMETHODCALLTYPE Step() = 0;

protected:
    ~IExampleObject() = default;
};
