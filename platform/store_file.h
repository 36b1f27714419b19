// The store file of the configuration database, opened with its sharing rule.
//
// Other openers may read the file while it is open but not write it: two readers share it, a
// writer shares it with nobody. A refused open fails with error 32 (a sharing violation) on every
// backend. Replace puts new content in place so that the file always holds either the old or the
// new bytes, whatever happens during the call (a killed process, a failed write, a full disk, a
// power cut after it returned).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qv::platform {

inline constexpr uint32_t kErrorSharingViolation = 32;

// A read-only view of a whole file.
class FileView {
public:
    virtual ~FileView() = default;
    virtual const char* data() const = 0;
    virtual size_t size() const = 0;
};

class StoreFile {
public:
    // Opens the file, creating an empty one when there is none. Null on failure, with the
    // system's error code (Win32 codes on every backend).
    static std::unique_ptr<StoreFile> Open(const std::string& path, bool write, uint32_t* error);
    virtual ~StoreFile() = default;

    // The file's size (low 32 bits are what a load maps), or 0 when it cannot be told.
    virtual uint64_t Size() = 0;
    // The whole file, read-only: mapped, or read into memory when it is small; null for an
    // empty file or on failure.
    virtual std::unique_ptr<FileView> Map(uint32_t* error) = 0;
    // Replaces the file's content with `size` bytes: written beside it, flushed to the disk,
    // then moved over it. On failure the old content stays. The file counts as closed after
    // the call, whatever its outcome.
    virtual bool Replace(const char* data, size_t size, uint32_t* error) = 0;
};

}  // namespace qv::platform
