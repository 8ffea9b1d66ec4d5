#include "registry/MemoryRegistry.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace quillon::reg {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return Lower(x) < Lower(y); });
    }
};

// Splits a key path into its names. A single trailing backslash is accepted;
// any other empty name makes the path unusable.
bool Split(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (path.empty()) {
        return true;
    }
    if (path.back() == '\\') {
        path.remove_suffix(1);
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view name = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (name.empty()) {
            return false;
        }
        names.emplace_back(name);
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::string Join(const std::string& base, std::string_view path) {
    std::string_view trimmed = path;
    if (!trimmed.empty() && trimmed.back() == '\\') {
        trimmed.remove_suffix(1);
    }
    if (base.empty()) {
        return std::string(trimmed);
    }
    if (trimmed.empty()) {
        return base;
    }
    return base + "\\" + std::string(trimmed);
}

// True when `key` is `prefix` or lies below it.
bool AtOrBelow(std::string_view key, std::string_view prefix) {
    if (!prefix.empty() && prefix.back() == '\\') {
        prefix.remove_suffix(1);
    }
    if (prefix.empty()) {
        return true;
    }
    if (key.size() < prefix.size() || !SameText(key.substr(0, prefix.size()), prefix)) {
        return false;
    }
    return key.size() == prefix.size() || key[prefix.size()] == '\\';
}

bool SameKey(std::string_view a, std::string_view b) {
    if (!a.empty() && a.back() == '\\') {
        a.remove_suffix(1);
    }
    if (!b.empty() && b.back() == '\\') {
        b.remove_suffix(1);
    }
    return SameText(a, b);
}

}  // namespace

struct MemoryRegistry::Node {
    std::string path;
    std::map<std::string, std::unique_ptr<Node>, CaseLess> keys;
    std::map<std::string, StoredValue, CaseLess> values;
};

MemoryRegistry::MemoryRegistry() : root_(std::make_unique<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::NodeOf(Handle key) const {
    if (key == kHkeyLocalMachine) {
        return root_.get();
    }
    const auto it = handles_.find(key);
    return it == handles_.end() ? nullptr : it->second;
}

MemoryRegistry::Node* MemoryRegistry::Resolve(Handle root, std::string_view path, bool create,
                                              Status& status) {
    Node* node = NodeOf(root);
    if (node == nullptr) {
        status = kErrorInvalidHandle;
        return nullptr;
    }
    std::vector<std::string> names;
    if (!Split(path, names)) {
        status = kErrorBadPathname;
        return nullptr;
    }
    for (const std::string& name : names) {
        auto it = node->keys.find(name);
        if (it == node->keys.end()) {
            if (!create) {
                status = kErrorFileNotFound;
                return nullptr;
            }
            auto child = std::make_unique<Node>();
            child->path = Join(node->path, name);
            it = node->keys.emplace(name, std::move(child)).first;
        }
        node = it->second.get();
    }
    status = kErrorSuccess;
    return node;
}

const MemoryRegistry::Node* MemoryRegistry::Find(std::string_view path) const {
    std::vector<std::string> names;
    if (!Split(path, names)) {
        return nullptr;
    }
    const Node* node = root_.get();
    for (const std::string& name : names) {
        const auto it = node->keys.find(name);
        if (it == node->keys.end()) {
            return nullptr;
        }
        node = it->second.get();
    }
    return node;
}

Handle MemoryRegistry::NewHandle(Node* node) {
    nextHandle_ += 4;
    handles_.emplace(nextHandle_, node);
    return nextHandle_;
}

std::optional<Status> MemoryRegistry::Injected(Op op, std::string_view key) const {
    if (const auto it = failAt_.find(calls_.size()); it != failAt_.end()) {
        return it->second;
    }
    for (const Rule& rule : rules_) {
        if (rule.op == op && (rule.exact ? SameKey(key, rule.path) : AtOrBelow(key, rule.path))) {
            return rule.status;
        }
    }
    return std::nullopt;
}

Status MemoryRegistry::Log(Op op, std::string key, std::string value, Status status) {
    calls_.push_back(Call{op, std::move(key), std::move(value), status});
    return status;
}

Status MemoryRegistry::RegOpenKeyA(Handle root, const std::string& path, Handle& key) {
    key = kNullHandle;
    const Node* base = NodeOf(root);
    const std::string full = Join(base != nullptr ? base->path : std::string(), path);
    if (const auto injected = Injected(Op::Open, full)) {
        return Log(Op::Open, full, {}, *injected);
    }
    Status status = kErrorSuccess;
    Node* node = Resolve(root, path, false, status);
    if (node != nullptr) {
        key = NewHandle(node);
    }
    return Log(Op::Open, full, {}, status);
}

Status MemoryRegistry::RegCreateKeyA(Handle root, const std::string& path, Handle& key) {
    key = kNullHandle;
    const Node* base = NodeOf(root);
    const std::string full = Join(base != nullptr ? base->path : std::string(), path);
    if (const auto injected = Injected(Op::Create, full)) {
        return Log(Op::Create, full, {}, *injected);
    }
    Status status = kErrorSuccess;
    Node* node = Resolve(root, path, true, status);
    if (node != nullptr) {
        key = NewHandle(node);
    }
    return Log(Op::Create, full, {}, status);
}

Status MemoryRegistry::RegQueryValueExA(Handle key, const std::string& name, ValueType* type,
                                        std::uint8_t* data, std::uint32_t* size) {
    const Node* node = NodeOf(key);
    const std::string path = node != nullptr ? node->path : std::string();
    if (const auto injected = Injected(Op::Query, path)) {
        return Log(Op::Query, path, name, *injected);
    }
    if (node == nullptr) {
        return Log(Op::Query, path, name, kErrorInvalidHandle);
    }
    const auto it = node->values.find(name);
    if (it == node->values.end()) {
        return Log(Op::Query, path, name, kErrorFileNotFound);
    }
    const StoredValue& value = it->second;
    const auto needed = static_cast<std::uint32_t>(value.bytes.size());
    if (type != nullptr) {
        *type = value.type;
    }
    if (data != nullptr) {
        if (size == nullptr || *size < needed) {
            if (size != nullptr) {
                *size = needed;
            }
            return Log(Op::Query, path, name, kErrorMoreData);
        }
        if (needed != 0) {
            std::memcpy(data, value.bytes.data(), needed);
        }
    }
    if (size != nullptr) {
        *size = needed;
    }
    return Log(Op::Query, path, name, kErrorSuccess);
}

Status MemoryRegistry::RegSetValueExA(Handle key, const std::string& name, ValueType type,
                                      const std::uint8_t* data, std::uint32_t size) {
    Node* node = NodeOf(key);
    const std::string path = node != nullptr ? node->path : std::string();
    if (const auto injected = Injected(Op::Set, path)) {
        return Log(Op::Set, path, name, *injected);
    }
    if (node == nullptr) {
        return Log(Op::Set, path, name, kErrorInvalidHandle);
    }
    StoredValue value{type, {}};
    if (data != nullptr) {
        value.bytes.assign(data, data + size);
    }
    node->values.insert_or_assign(name, std::move(value));
    return Log(Op::Set, path, name, kErrorSuccess);
}

Status MemoryRegistry::RegDeleteValueA(Handle key, const std::string& name) {
    Node* node = NodeOf(key);
    const std::string path = node != nullptr ? node->path : std::string();
    if (const auto injected = Injected(Op::Delete, path)) {
        return Log(Op::Delete, path, name, *injected);
    }
    if (node == nullptr) {
        return Log(Op::Delete, path, name, kErrorInvalidHandle);
    }
    const auto it = node->values.find(name);
    if (it == node->values.end()) {
        return Log(Op::Delete, path, name, kErrorFileNotFound);
    }
    node->values.erase(it);
    return Log(Op::Delete, path, name, kErrorSuccess);
}

Status MemoryRegistry::RegCloseKey(Handle key) {
    const auto it = handles_.find(key);
    const std::string path = it != handles_.end() ? it->second->path : std::string();
    // An injected failure still releases a valid handle: a real close of a
    // handle that is open cannot keep it.
    const auto injected = Injected(Op::Close, path);
    if (key == kHkeyLocalMachine) {
        return Log(Op::Close, path, {}, injected.value_or(kErrorSuccess));
    }
    if (it == handles_.end()) {
        return Log(Op::Close, path, {}, injected.value_or(kErrorInvalidHandle));
    }
    handles_.erase(it);
    return Log(Op::Close, path, {}, injected.value_or(kErrorSuccess));
}

void MemoryRegistry::Seed(std::string_view path, std::string_view name, ValueType type,
                          std::vector<std::uint8_t> bytes) {
    Status status = kErrorSuccess;
    Node* node = Resolve(kHkeyLocalMachine, path, true, status);
    if (node != nullptr) {
        node->values.insert_or_assign(std::string(name), StoredValue{type, std::move(bytes)});
    }
}

void MemoryRegistry::SeedString(std::string_view path, std::string_view name, std::string_view text) {
    Seed(path, name, kRegSz, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void MemoryRegistry::SeedDword(std::string_view path, std::string_view name, std::uint32_t number) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &number, 4);
    Seed(path, name, kRegDword, std::move(bytes));
}

void MemoryRegistry::SeedKey(std::string_view path) {
    Status status = kErrorSuccess;
    static_cast<void>(Resolve(kHkeyLocalMachine, path, true, status));
}

bool MemoryRegistry::KeyExists(std::string_view path) const { return Find(path) != nullptr; }

std::optional<StoredValue> MemoryRegistry::Value(std::string_view path, std::string_view name) const {
    const Node* node = Find(path);
    if (node == nullptr) {
        return std::nullopt;
    }
    const auto it = node->values.find(std::string(name));
    if (it == node->values.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::map<std::string, StoredValue> MemoryRegistry::Snapshot() const {
    std::map<std::string, StoredValue> result;
    const std::function<void(const Node&)> walk = [&](const Node& node) {
        result.emplace(node.path, StoredValue{});
        for (const auto& [name, value] : node.values) {
            result.emplace(node.path + "|" + name, value);
        }
        for (const auto& [name, child] : node.keys) {
            walk(*child);
        }
    };
    walk(*root_);
    return result;
}

void MemoryRegistry::FailBelow(Op op, std::string_view path, Status status) {
    rules_.push_back(Rule{op, std::string(path), status, false});
}

void MemoryRegistry::FailExactly(Op op, std::string_view path, Status status) {
    rules_.push_back(Rule{op, std::string(path), status, true});
}

void MemoryRegistry::FailCall(std::size_t index, Status status) { failAt_[index] = status; }

void MemoryRegistry::ClearFailures() {
    rules_.clear();
    failAt_.clear();
}

}  // namespace quillon::reg
