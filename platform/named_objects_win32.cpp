#include "platform/named_objects.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

namespace {

class Win32Mutex final : public NamedMutex {
public:
    explicit Win32Mutex(HANDLE h) : h_(h) {}
    ~Win32Mutex() override { CloseHandle(h_); }
    WaitResult Wait(uint32_t timeout_ms) override {
        switch (WaitForSingleObject(h_, timeout_ms)) {
            case WAIT_OBJECT_0: return WaitResult::kObtained;
            case WAIT_ABANDONED: return WaitResult::kAbandoned;
            case WAIT_TIMEOUT: return WaitResult::kTimeout;
            default: return WaitResult::kFailed;
        }
    }
    bool Release() override { return ReleaseMutex(h_) != 0; }

private:
    HANDLE h_;
};

class Win32Block final : public SharedBlock {
public:
    Win32Block(HANDLE mapping, void* view, size_t size) : mapping_(mapping), view_(view), size_(size) {}
    ~Win32Block() override {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }
    void* data() override { return view_; }
    size_t size() const override { return size_; }

private:
    HANDLE mapping_;
    void* view_;
    size_t size_;
};

LPSECURITY_ATTRIBUTES AttributesOf(const SharedObjectSecurity* security) {
    return security ? static_cast<LPSECURITY_ATTRIBUTES>(security->attributes) : nullptr;
}

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::CreateOrOpen(const std::string& name, const SharedObjectSecurity* security,
                                                     bool initial_owner, bool* created, uint32_t* error) {
    HANDLE h = CreateMutexA(AttributesOf(security), initial_owner ? TRUE : FALSE, name.c_str());
    if (!h) {
        if (error) *error = GetLastError();
        return nullptr;
    }
    if (created) *created = GetLastError() != ERROR_ALREADY_EXISTS;
    return std::make_unique<Win32Mutex>(h);
}

std::unique_ptr<SharedBlock> SharedBlock::CreateOrOpen(const std::string& name, size_t size,
                                                       const SharedObjectSecurity* security, bool* existed,
                                                       uint32_t* error) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, AttributesOf(security), PAGE_READWRITE, 0,
                                        static_cast<DWORD>(size), name.c_str());
    if (!mapping) {
        if (error) *error = GetLastError();
        return nullptr;
    }
    const bool before = GetLastError() == ERROR_ALREADY_EXISTS;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size);
    if (!view) {
        if (error) *error = GetLastError();
        CloseHandle(mapping);
        return nullptr;
    }
    if (existed) *existed = before;
    return std::make_unique<Win32Block>(mapping, view, size);
}

}  // namespace qv::platform
