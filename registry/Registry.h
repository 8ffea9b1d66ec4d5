#pragma once
// The six routines through which every registry read, write and delete of
// the program passes. Each call opens (or creates) its key afresh, makes one
// read, write or delete of one value and closes the key before it returns.
//
// Reads report nothing: a missing key or value, or one of another type, reads
// as no text or 0. Writes and deletes say whether the platform accepted them,
// so that the operations never report a refused write as a success.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace quillon::reg {

// A value as it is stored, for a copy that puts it back exactly.
struct RawValue {
    enum class State { kKeyMissing, kValueMissing, kPresent, kUnreadable };
    State state = State::kKeyMissing;
    ValueType type = kRegNone;
    std::vector<std::uint8_t> data;
    Status status = kErrorSuccess;  // kUnreadable: what the platform said

    bool operator==(const RawValue& other) const = default;
};

class Registry {
public:
    explicit Registry(RegistryApi& api) : api_(api) {}

    // A REG_SZ value read up to its first NUL; no text for a missing value or
    // one of any other type (REG_EXPAND_SZ included).
    std::optional<std::string> GetStringValue(Handle root, const std::string& path, const std::string& name);
    // Stores the text as REG_SZ of exactly its length: no terminating NUL.
    [[nodiscard]] bool SetStringValue(Handle root, const std::string& path, const std::string& name,
                                      const std::string& text);
    // A REG_DWORD value; 0 for anything else or nothing.
    std::int32_t GetDwordValue(Handle root, const std::string& path, const std::string& name);
    [[nodiscard]] bool SetDwordValue(Handle root, const std::string& path, const std::string& name,
                                     std::int32_t number);
    // True when the value is gone afterwards: deleted, or never there.
    [[nodiscard]] bool DeleteValue(Handle root, const std::string& path, const std::string& name);
    // The value's type and bytes, or whether its key or it is missing, or
    // that it could not be read; unlike the reads above it tells them apart.
    RawValue GetRawValue(Handle root, const std::string& path, const std::string& name);

private:
    RegistryApi& api_;
};

}  // namespace quillon::reg
