#pragma once
// The registry operations of advapi32, called directly. Windows build only.

#include "registry/RegistryApi.h"

namespace quillon::reg {

class Win32Registry final : public RegistryApi {
public:
    Status RegOpenKeyA(Handle root, const std::string& path, Handle& key) override;
    Status RegCreateKeyA(Handle root, const std::string& path, Handle& key) override;
    Status RegQueryValueExA(Handle key, const std::string& name, ValueType* type, std::uint8_t* data,
                            std::uint32_t* size) override;
    Status RegSetValueExA(Handle key, const std::string& name, ValueType type, const std::uint8_t* data,
                          std::uint32_t size) override;
    Status RegDeleteValueA(Handle key, const std::string& name) override;
    Status RegCloseKey(Handle key) override;
};

}  // namespace quillon::reg
