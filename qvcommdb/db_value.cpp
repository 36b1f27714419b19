#include "qvcommdb/db_value.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/bstr.h"
#include "qvcommdb/base64.h"
#include "qvcommdb/parse_dword.h"
#include "qvcommdb/tree_generation.h"

namespace qv::db {

namespace {
bool NeedsEscape(std::string_view text) {
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == '"' || b == '&' || b == '<' || b == '>') return true;
    }
    return false;
}

std::vector<unsigned char>& BlobBuffer() {
    static std::vector<unsigned char> buffer;
    return buffer;
}
}  // namespace

unsigned char* FillBlobBuffer(std::string_view base64_text, ULONG* size) {
    auto& buffer = BlobBuffer();
    const std::vector<unsigned char> bytes = Base64Decode(std::string(base64_text));
    buffer.assign(bytes.begin(), bytes.end());  // in place while it fits
    *size = static_cast<ULONG>(buffer.size());
    return buffer.data();
}

std::unique_ptr<char[]> DBValue::MakeBlock(std::string_view name, std::string_view text) {
    if (text.size() >= kEscapeFlag) throw std::length_error("value text too long");
    const uint32_t n = static_cast<uint32_t>(name.size());
    const uint32_t t = static_cast<uint32_t>(text.size()) | (NeedsEscape(text) ? kEscapeFlag : 0);
    std::unique_ptr<char[]> block(new char[8 + name.size() + 1 + text.size() + 1]);
    std::memcpy(block.get(), &n, 4);
    std::memcpy(block.get() + 4, &t, 4);
    char* p = block.get() + 8;
    std::memcpy(p, name.data(), name.size());
    p[name.size()] = '\0';
    p += name.size() + 1;
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    p[text.size()] = '\0';
    return block;
}

DBValue::DBValue(std::string_view name, std::string_view text) : block_(MakeBlock(name, text)) {}

DBValue* DBValue::Create(std::string_view name, std::string_view text) {
    TreeChanged();
    return new DBValue(name, text);
}


void DBValue::SetText(std::string_view text) {
    if (text == this->text()) return;
    block_ = MakeBlock(name(), text);
    TreeChanged();
}

HRESULT DBValue::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDBValue)) {
        *ppv = static_cast<IDBValue*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DBValue::AddRef() { return static_cast<ULONG>(refs_.Increment()); }

ULONG DBValue::Release() {
    const int32_t n = refs_.Decrement();
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT DBValue::GetDWord(ULONG* pValue) {
    if (!pValue) return E_POINTER;
    if (text().empty()) return E_FAIL;
    *pValue = ParseDWord(text());
    return S_OK;
}

HRESULT DBValue::GetString(BSTR* pVal) {
    return ComGuard([&] {
        if (!pVal) return E_POINTER;
        if (text().empty()) return E_FAIL;
        *pVal = platform::AnsiToBstr(text());
        return *pVal ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT DBValue::GetName(BSTR* pName) {
    return ComGuard([&] {
        if (!pName) return E_POINTER;
        *pName = platform::AnsiToBstr(name());
        return *pName ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT DBValue::GetType(QVDB_Type* pType) {
    if (!pType) return E_POINTER;
    *pType = static_cast<QVDB_Type>(type_);
    return S_OK;
}

HRESULT DBValue::GetInterface(IDBNode**) { return S_OK; }

HRESULT DBValue::GetBlob(ULONG* pSize, unsigned char** ppBlob) {
    return ComGuard([&] {
        if (!pSize || !ppBlob) return E_POINTER;
        *ppBlob = FillBlobBuffer(text(), pSize);
        return S_OK;
    });
}

HRESULT DBValue::SetDWord(ULONG Value) {
    return ComGuard([&] {
        SetText(std::to_string(static_cast<int32_t>(Value)));
        return S_OK;
    });
}

HRESULT DBValue::SetString(BSTR Val) {
    return ComGuard([&] {
        if (!Val) return E_INVALIDARG;
        SetText(platform::BstrToAnsi(Val));
        return S_OK;
    });
}

HRESULT DBValue::SetInterface(BSTR, IDBNode*) { return S_OK; }

HRESULT DBValue::SetBlob(BSTR, ULONG Size, unsigned char* pBlob) {
    return ComGuard([&] {
        if (Size != 0 && !pBlob) return E_POINTER;
        SetText(Base64Encode(pBlob, Size));
        return S_OK;
    });
}

}  // namespace qv::db
