#pragma once
// The console program's rig for the native tests: its streams captured, and
// machines of either family or both in the in-memory registry.

#include <map>
#include <string>

#include "registry/MemoryRegistry.h"
#include "ui/console/Console.h"

namespace quillon::test {

const std::string kNtVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
const std::string k9xVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kCard = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
const std::string kInterfaces = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
const std::string kTransport = "System\\CurrentControlSet\\Services\\Class\\NetTrans\\";
const std::string kNotSaved =
    "The MTU setting could not be saved. Run Quillon MTU Tool as an administrator and try again.\n";

enum Machine { kNone = 0, kNt = 1, k9x = 2, kBoth = 3 };

class Capture final : public ui::ConsoleOutput {
public:
    // The registry's texts are Latin-1 here, as the ANSI code page 1252 has
    // them for the characters the tests use.
    std::string Utf8(std::string_view text) override {
        std::string utf8;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                utf8 += c;
            } else {
                utf8 += static_cast<char>(0xC0 | (byte >> 6));
                utf8 += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return utf8;
    }
    void Out(std::string_view text) override { out += text; }
    void Err(std::string_view text) override { err += text; }
    bool OutWhole(const std::string& text, std::string& failure) override {
        if (full) {
            failure = "the disk is full";
            return false;
        }
        out += text;
        return true;
    }
    bool Save(const std::string& path, const std::string& text, std::string& failure) override {
        if (full) {
            failure = "the disk is full. No file was left there.";
            return false;
        }
        files[path] = text;
        return true;
    }
    std::string out;
    std::string err;
    std::map<std::string, std::string> files;
    bool full = false;  // every checked write fails
};

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

// A machine with adapters on card 1 and 3 (NT) or transports 0000 and 0002
// (9x), the second one holding an MTU of 576.
inline void Seed(reg::MemoryRegistry& model, Machine machine) {
    if ((machine & kNt) != 0) {
        model.SeedString(kNtVersion, "ProductName", "Windows XP");
        model.SeedString(kCard + "1", "ServiceName", "{A}");
        model.SeedString(kCard + "3", "ServiceName", "{B}");
        model.SeedDword(kInterfaces + "{B}", "MTU", 576);
    }
    if ((machine & k9x) != 0) {
        model.SeedString(k9xVersion, "ProductName", "Windows 98");
        model.SeedString(kTransport + "0000", "IPAddress", "10.0.0.1");
        model.SeedString(kTransport + "0002", "IPAddress", "10.0.0.3");
        model.SeedString(kTransport + "0002", "MaxMTU", "576");
    }
}

}  // namespace quillon::test
