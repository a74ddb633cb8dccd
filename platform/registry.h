#pragma once

// The system registry as the about box reads it: open a key, query one value
// into a caller's buffer, close the key. Status codes, value kinds and root
// keys carry the numbers the registry functions of the desktop use, so the
// code above reads the same on every platform.

#include <QString>

#include <cstdint>

namespace quilfen {

using RegistryKey = std::uint32_t;  // a handle: a root key or an opened key

inline constexpr RegistryKey kHkeyLocalMachine = 0x80000002;

inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;  // no such key or value
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorMoreData = 234;  // the data does not fit the buffer

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;      // text, NUL-terminated
inline constexpr std::uint32_t kRegBinary = 3;  // raw bytes
inline constexpr std::uint32_t kRegDword = 4;   // 32-bit number, least significant byte first

// Access rights of an open request.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyCreateLink = 0x0020;
inline constexpr std::uint32_t kReadControl = 0x20000;

class Registry {
public:
    virtual ~Registry() = default;

    // Opens subKey ("A\B\C", backslash-separated) under root with the access
    // rights asked for. Returns kErrorSuccess and the new handle in *key, or
    // a failure status (a key that cannot be opened with those rights fails
    // just like a missing one, with kErrorAccessDenied).
    virtual std::int32_t openKey(RegistryKey root, const QString& subKey, std::uint32_t options,
                                 std::uint32_t access, RegistryKey* key) = 0;

    // Copies the data of valueName into data, whose capacity is *size bytes.
    // On success *kind is the value's kind and *size the number of bytes
    // written (text includes its terminating NUL when it was stored with one).
    // Data larger than the buffer gives kErrorMoreData with *size the size
    // needed and nothing usable in data.
    virtual std::int32_t queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
                                    unsigned char* data, std::uint32_t* size) = 0;

    // Releases a handle from openKey.
    virtual std::int32_t closeKey(RegistryKey key) = 0;
};

}  // namespace quilfen
