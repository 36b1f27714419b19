// The keys under HKEY_CLASSES_ROOT that a COM server registers.
//
// Windows: the real registry. POSIX: a file-backed key store of our own with the same model:
// keys named with "\\" between their components, compared without regard to case; each key has
// a default value (the empty name) and named string values. The file is the one named by
// QV_REGISTRY_FILE, else "registry.txt" in the Quorvex directory of the system directory; it is
// read and written whole under a lock, and replaced atomically.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

// Whether a key under HKEY_LOCAL_MACHINE opens for reading (no such registry on POSIX: false).
bool LocalMachineKeyOpens(const std::string& key);

class ClassesRoot {
public:
    // Opens the classes root for a batch of changes. Null on failure, with the error code.
    static std::unique_ptr<ClassesRoot> Open(uint32_t* error);
    virtual ~ClassesRoot() = default;

    // Makes the key (and its parents) when missing and sets one string value; an empty name
    // is the default value.
    virtual bool SetString(const std::string& key, const std::string& name, const std::string& value) = 0;
    // Removes the key with everything below it; true when it is gone afterwards.
    virtual bool DeleteTree(const std::string& key) = 0;
    virtual bool KeyExists(const std::string& key) = 0;
    virtual std::optional<std::string> GetString(const std::string& key, const std::string& name) = 0;
    // True when the key has no subkeys.
    virtual bool HasNoSubkeys(const std::string& key) = 0;
    // Makes the changes lasting (the POSIX store writes its file here).
    virtual bool Commit(uint32_t* error) = 0;
};

}  // namespace qv::platform
