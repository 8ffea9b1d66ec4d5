#pragma once
// An in-memory registry with the semantics of the Windows registry as far as
// the program relies on them: key and value names compared without regard to
// ASCII case, a trailing backslash accepted, create makes every missing level,
// open never creates, a null buffer asks for type and size, a short buffer
// fails with ERROR_MORE_DATA, and every call on the null handle or a closed
// handle fails with ERROR_INVALID_HANDLE and changes nothing. Data is kept as
// the exact bytes given, with its type.
//
// For tests it also seeds and inspects keys and values, counts open handles,
// logs every call and makes chosen calls fail with a chosen status.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryApi.h"

namespace quillon::reg {

enum class Op { Open, Create, Query, Set, Delete, Close };

struct StoredValue {
    ValueType type = kRegNone;
    std::vector<std::uint8_t> bytes;
    bool operator==(const StoredValue&) const = default;
};

// One call as the model saw it. `key` is the full path below the root of the
// key the call worked on (the requested path for open and create).
struct Call {
    Op op = Op::Open;
    std::string key;
    std::string value;
    Status status = kErrorSuccess;
};

class MemoryRegistry final : public RegistryApi {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    Status RegOpenKeyA(Handle root, const std::string& path, Handle& key) override;
    Status RegCreateKeyA(Handle root, const std::string& path, Handle& key) override;
    Status RegQueryValueExA(Handle key, const std::string& name, ValueType* type, std::uint8_t* data,
                            std::uint32_t* size) override;
    Status RegSetValueExA(Handle key, const std::string& name, ValueType type, const std::uint8_t* data,
                          std::uint32_t size) override;
    Status RegDeleteValueA(Handle key, const std::string& name) override;
    Status RegCloseKey(Handle key) override;

    // Seeding and inspection, all relative to HKEY_LOCAL_MACHINE.
    void Seed(std::string_view path, std::string_view name, ValueType type, std::vector<std::uint8_t> bytes);
    void SeedString(std::string_view path, std::string_view name, std::string_view text);
    void SeedDword(std::string_view path, std::string_view name, std::uint32_t number);
    void SeedKey(std::string_view path);
    [[nodiscard]] bool KeyExists(std::string_view path) const;
    [[nodiscard]] std::optional<StoredValue> Value(std::string_view path, std::string_view name) const;
    // Every key path and value as "path|name", for before/after comparisons.
    [[nodiscard]] std::map<std::string, StoredValue> Snapshot() const;

    [[nodiscard]] std::size_t OpenHandles() const { return handles_.size(); }
    [[nodiscard]] const std::vector<Call>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }

    // Every call of kind `op` on a key at or below `path` fails with `status`.
    void FailBelow(Op op, std::string_view path, Status status);
    // Every call of kind `op` on exactly that key fails with `status`.
    void FailExactly(Op op, std::string_view path, Status status);
    // The call with this position in the log (0 for the first call logged
    // after the last ClearCalls) fails with `status`.
    void FailCall(std::size_t index, Status status);
    void ClearFailures();

private:
    struct Node;
    struct Rule {
        Op op;
        std::string path;
        Status status;
        bool exact;
    };

    Node* Resolve(Handle root, std::string_view path, bool create, Status& status);
    const Node* Find(std::string_view path) const;
    Node* NodeOf(Handle key) const;
    Handle NewHandle(Node* node);
    std::optional<Status> Injected(Op op, std::string_view key) const;
    Status Log(Op op, std::string key, std::string value, Status status);

    std::unique_ptr<Node> root_;
    std::map<Handle, Node*> handles_;
    Handle nextHandle_ = 0x1000;
    std::vector<Call> calls_;
    std::vector<Rule> rules_;
    std::map<std::size_t, Status> failAt_;
};

}  // namespace quillon::reg
