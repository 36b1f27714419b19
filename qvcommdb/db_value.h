// DBValue: one named text value of a node.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/ref_count.h"
#include "qvcomm/qvcommdb.h"
#include "qvcommdb/module.h"

namespace qv::db {

class DBValue final : public IDBValue {
public:
    // A new value with a count of 1, the reference of the node that holds it.
    static DBValue* Create(std::string_view name, std::string_view text = {});

    std::string_view name() const { return std::string_view(block_.get() + 8, Length(0)); }
    std::string_view text() const {
        return std::string_view(block_.get() + 8 + Length(0) + 1, Length(4) & ~kEscapeFlag);
    }
    // True when the text holds a byte that the store file writes as a reference; known
    // from when the text was set, so that a save copies plain texts whole.
    bool text_needs_escape() const { return (Length(4) & kEscapeFlag) != 0; }
    void SetText(std::string_view text);
    std::string_view TreeKey() const { return name(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDBValue
    HRESULT STDMETHODCALLTYPE GetDWord(ULONG* pValue) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE GetName(BSTR* pName) override;
    HRESULT STDMETHODCALLTYPE GetType(QVDB_Type* pType) override;
    HRESULT STDMETHODCALLTYPE GetInterface(IDBNode** pNode) override;
    HRESULT STDMETHODCALLTYPE GetBlob(ULONG* pSize, unsigned char** ppBlob) override;
    HRESULT STDMETHODCALLTYPE SetDWord(ULONG Value) override;
    HRESULT STDMETHODCALLTYPE SetString(BSTR Val) override;
    HRESULT STDMETHODCALLTYPE SetInterface(BSTR Name, IDBNode* ppVal) override;
    HRESULT STDMETHODCALLTYPE SetBlob(BSTR Name, ULONG Size, unsigned char* pBlob) override;

    // Links of the node's map of values.
    DBValue* tree_left = nullptr;
    DBValue* tree_right = nullptr;

private:
    DBValue(std::string_view name, std::string_view text);
    ~DBValue() = default;

    // Name and text in one block: [name length][text length][name]\0[text]\0, 32-bit lengths;
    // the top bit of the text length marks a text that needs escaping.
    static std::unique_ptr<char[]> MakeBlock(std::string_view name, std::string_view text);
    static constexpr uint32_t kEscapeFlag = 0x80000000u;
    uint32_t Length(int at) const {
        uint32_t v;
        std::memcpy(&v, block_.get() + at, sizeof v);
        return v;
    }

    std::unique_ptr<char[]> block_;
    platform::RefCount refs_{1};

public:
    int8_t tree_height = 1;

private:
    uint8_t type_ = QVDB_Type_NONE;  // never changed: every value is untyped text
    [[no_unique_address]] ModuleObjectToken token_;
};

// The one blob buffer of the process: every GetBlob resizes and overwrites it.
unsigned char* FillBlobBuffer(std::string_view base64_text, ULONG* size);

}  // namespace qv::db
