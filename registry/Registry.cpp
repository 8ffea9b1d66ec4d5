#include "registry/Registry.h"

#include <algorithm>
#include <cstring>

namespace quillon::reg {

namespace {

// Closes the key held in `handle` on every path out of a routine.
class KeyCloser {
public:
    KeyCloser(RegistryApi& api, Handle& handle) : api_(api), handle_(handle) {}
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    ~KeyCloser() { static_cast<void>(api_.RegCloseKey(handle_)); }

private:
    RegistryApi& api_;
    Handle& handle_;
};

bool Gone(Status status) { return status == kErrorSuccess || status == kErrorFileNotFound; }

}  // namespace

std::optional<std::string> Registry::GetStringValue(Handle root, const std::string& path,
                                                    const std::string& name) {
    Handle handle = kNullHandle;
    static_cast<void>(api_.RegOpenKeyA(root, path, handle));
    KeyCloser closer(api_, handle);

    ValueType type = kRegNone;
    std::uint32_t size = 0;
    static_cast<void>(api_.RegQueryValueExA(handle, name, &type, nullptr, &size));
    if (type != kRegSz) {
        return std::nullopt;
    }

    // A buffer of `size` blanks; what the data does not overwrite stays blank.
    std::string buffer(size, ' ');
    ValueType scratchType = kRegNone;
    const Status status = api_.RegQueryValueExA(handle, name, &scratchType,
                                                reinterpret_cast<std::uint8_t*>(buffer.data()), &size);
    if (status != kErrorSuccess) {
        return std::nullopt;
    }
    const auto nul = std::find(buffer.begin(), buffer.end(), '\0');
    buffer.erase(nul, buffer.end());
    return buffer;
}

bool Registry::SetStringValue(Handle root, const std::string& path, const std::string& name,
                              const std::string& text) {
    Handle handle = kNullHandle;
    const Status created = api_.RegCreateKeyA(root, path, handle);
    KeyCloser closer(api_, handle);
    const auto length = static_cast<std::uint32_t>(text.size());
    const Status written =
        api_.RegSetValueExA(handle, name, kRegSz, reinterpret_cast<const std::uint8_t*>(text.data()), length);
    return created == kErrorSuccess && written == kErrorSuccess;
}

std::int32_t Registry::GetDwordValue(Handle root, const std::string& path, const std::string& name) {
    Handle handle = kNullHandle;
    static_cast<void>(api_.RegOpenKeyA(root, path, handle));
    KeyCloser closer(api_, handle);

    ValueType type = kRegNone;
    std::uint8_t cell[4] = {};
    std::uint32_t size = sizeof cell;
    const Status status = api_.RegQueryValueExA(handle, name, &type, cell, &size);
    std::int32_t result = 0;
    if (status == kErrorSuccess && type == kRegDword) {
        std::memcpy(&result, cell, sizeof result);
    }
    return result;
}

bool Registry::SetDwordValue(Handle root, const std::string& path, const std::string& name,
                             std::int32_t number) {
    Handle handle = kNullHandle;
    const Status created = api_.RegCreateKeyA(root, path, handle);
    KeyCloser closer(api_, handle);
    std::uint8_t bytes[4] = {};
    std::memcpy(bytes, &number, sizeof bytes);
    const Status written = api_.RegSetValueExA(handle, name, kRegDword, bytes, sizeof bytes);
    return created == kErrorSuccess && written == kErrorSuccess;
}

bool Registry::DeleteValue(Handle root, const std::string& path, const std::string& name) {
    Handle handle = kNullHandle;
    const Status opened = api_.RegOpenKeyA(root, path, handle);
    KeyCloser closer(api_, handle);
    const Status deleted = api_.RegDeleteValueA(handle, name);
    if (opened != kErrorSuccess) {
        // A key that is not there holds nothing to delete.
        return opened == kErrorFileNotFound;
    }
    return Gone(deleted);
}

RawValue Registry::GetRawValue(Handle root, const std::string& path, const std::string& name) {
    RawValue value;
    Handle handle = kNullHandle;
    const Status opened = api_.RegOpenKeyA(root, path, handle);
    KeyCloser closer(api_, handle);
    if (opened != kErrorSuccess) {
        value.state = opened == kErrorFileNotFound ? RawValue::State::kKeyMissing : RawValue::State::kUnreadable;
        value.status = opened;
        return value;
    }
    // The value may grow between the two queries: ask again with the new size.
    Status status = kErrorMoreData;
    for (int attempt = 0; attempt != 3 && status == kErrorMoreData; ++attempt) {
        std::uint32_t size = 0;
        status = api_.RegQueryValueExA(handle, name, &value.type, nullptr, &size);
        if (status == kErrorSuccess) {
            value.data.assign(size, 0);
            status = api_.RegQueryValueExA(handle, name, &value.type, value.data.data(), &size);
            value.data.resize(std::min<std::size_t>(size, value.data.size()));
        }
    }
    value.status = status;
    value.state = status == kErrorSuccess        ? RawValue::State::kPresent
                  : status == kErrorFileNotFound ? RawValue::State::kValueMissing
                                                 : RawValue::State::kUnreadable;
    return value;
}

}  // namespace quillon::reg
