// Registry scenarios written once against the platform operations and run
// twice: natively on the in-memory model and under Wine on advapi32. Each
// table row states the call and the expected status, type, size and data.

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "registry/Registry.h"
#include "tests/conformance/ConformanceTarget.h"

namespace quillon::test {
namespace {

using reg::Handle;
using reg::kHkeyLocalMachine;
using reg::kNullHandle;
using reg::Status;
using reg::ValueType;
using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct RawValue {
    Status status = reg::kErrorFileNotFound;
    ValueType type = reg::kRegNone;
    Bytes bytes;
};

class Conformance : public ::testing::Test {
protected:
    void SetUp() override { target_ = MakeConformanceTarget(); }
    void TearDown() override { RemoveScratch(target_); }

    reg::RegistryApi& Api() { return *target_.api; }
    std::string Path(std::string_view sub = {}) {
        return sub.empty() ? target_.scratch : target_.scratch + "\\" + std::string(sub);
    }

    void Store(const std::string& path, const std::string& name, ValueType type, const Bytes& bytes) {
        Handle key = kNullHandle;
        ASSERT_EQ(Api().RegCreateKeyA(kHkeyLocalMachine, path, key), reg::kErrorSuccess);
        EXPECT_EQ(
            Api().RegSetValueExA(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
            reg::kErrorSuccess);
        EXPECT_EQ(Api().RegCloseKey(key), reg::kErrorSuccess);
    }

    RawValue Raw(const std::string& path, const std::string& name) {
        RawValue raw;
        Handle key = kNullHandle;
        raw.status = Api().RegOpenKeyA(kHkeyLocalMachine, path, key);
        if (raw.status != reg::kErrorSuccess) {
            return raw;
        }
        std::uint32_t size = 0;
        raw.status = Api().RegQueryValueExA(key, name, &raw.type, nullptr, &size);
        if (raw.status == reg::kErrorSuccess) {
            raw.bytes.resize(size);
            raw.status = Api().RegQueryValueExA(key, name, &raw.type, raw.bytes.data(), &size);
            raw.bytes.resize(size);
        }
        static_cast<void>(Api().RegCloseKey(key));
        return raw;
    }

    bool KeyExists(const std::string& path) {
        Handle key = kNullHandle;
        const Status status = Api().RegOpenKeyA(kHkeyLocalMachine, path, key);
        static_cast<void>(Api().RegCloseKey(key));
        return status == reg::kErrorSuccess;
    }

    // A text stored without its terminator reads back as exactly its bytes
    // from the model; Windows NT and Wine may keep one NUL more.
    void ExpectStoredText(const RawValue& raw, std::string_view text) {
        EXPECT_EQ(raw.status, reg::kErrorSuccess);
        EXPECT_EQ(raw.type, reg::kRegSz);
        Bytes withNul = B(text);
        withNul.push_back(0);
        if (target_.exactBytes) {
            EXPECT_EQ(raw.bytes, B(text));
        } else {
            EXPECT_TRUE(raw.bytes == B(text) || raw.bytes == withNul)
                << "stored " << raw.bytes.size() << " bytes for a text of " << text.size();
        }
    }

    ConformanceTarget target_;
    std::optional<reg::Registry> routines_;
    reg::Registry& Routines() {
        if (!routines_) {
            routines_.emplace(Api());
        }
        return *routines_;
    }
};

// ---- Reads: data stored by the platform, read through both routines ----

struct ReadCase {
    const char* label;
    ValueType type;
    Bytes data;
    std::optional<std::string> text;  // what GetStringValue gives
    std::int32_t number;              // what GetDwordValue gives
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

Bytes Dword(std::uint32_t n) {
    Bytes b(4);
    std::memcpy(b.data(), &n, 4);
    return b;
}

std::vector<ReadCase> ReadCases() {
    std::string longText(40000, 'x');
    longText.push_back('\0');
    longText.append(100, 'y');
    return {
        {"sz_1400", reg::kRegSz, B("1400"), "1400", 0},
        {"sz_with_terminator", reg::kRegSz, B(std::string("1400\0", 5)), "1400", 0},
        {"sz_single_nul_is_empty_text", reg::kRegSz, Bytes{0}, "", 0},
        {"sz_zero_bytes_is_empty_text", reg::kRegSz, Bytes{}, "", 0},
        {"sz_cut_at_embedded_nul", reg::kRegSz, B(std::string("ab\0cd", 5)), "ab", 0},
        {"sz_nul_beyond_32767", reg::kRegSz, B(longText), std::string(40000, 'x'), 0},
        {"sz_blank", reg::kRegSz, B(" "), " ", 0},
        {"expand_sz_is_no_text", reg::kRegExpandSz, B("1400"), std::nullopt, 0},
        {"multi_sz_is_no_text", reg::kRegMultiSz, B(std::string("a\0b\0\0", 5)), std::nullopt, 0},
        {"binary_is_neither", reg::kRegBinary, Dword(1400), std::nullopt, 0},
        {"dword_1400", reg::kRegDword, Dword(1400), std::nullopt, 1400},
        {"dword_all_ones_is_minus_one", reg::kRegDword, Dword(0xFFFFFFFFU), std::nullopt, -1},
        {"dword_zero", reg::kRegDword, Dword(0), std::nullopt, 0},
        {"qword_longer_than_4_reads_0", reg::kRegQword, Bytes{1, 0, 0, 0, 0, 0, 0, 0}, std::nullopt, 0},
        {"dword_typed_8_bytes_reads_0", reg::kRegDword, Bytes{1, 0, 0, 0, 0, 0, 0, 0}, std::nullopt, 0},
        {"none_type", reg::kRegNone, Bytes{}, std::nullopt, 0},
    };
}

class Reads : public Conformance, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(Reads, BothRoutinesFollowTheReadContract) {
    const ReadCase& c = GetParam();
    Store(Path("Reads"), "Value", c.type, c.data);
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("Reads"), "Value"), c.text);
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("Reads"), "Value"), c.number);
}

INSTANTIATE_TEST_SUITE_P(Table, Reads, ::testing::ValuesIn(ReadCases()),
                         [](const auto& row) { return std::string(row.param.label); });

TEST_F(Conformance, MissingValueAndMissingKeyReadAsNothing) {
    Store(Path("Present"), "Other", reg::kRegSz, B("x"));
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("Present"), "Value"), std::nullopt);
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("Present"), "Value"), 0);
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("Absent\\Deeper"), "Value"), std::nullopt);
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("Absent\\Deeper"), "Value"), 0);
    EXPECT_FALSE(KeyExists(Path("Absent")));
}

// ---- Writes: data stored by the routines, inspected through the platform ----

TEST_F(Conformance, StringRoundTripStoresNoTerminator) {
    ASSERT_TRUE(Routines().SetStringValue(kHkeyLocalMachine, Path("W"), "MaxMTU", "1400"));
    ExpectStoredText(Raw(Path("W"), "MaxMTU"), "1400");
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("W"), "MaxMTU"), "1400");
}

TEST_F(Conformance, EmptyTextWritesAnEmptyString) {
    ASSERT_TRUE(Routines().SetStringValue(kHkeyLocalMachine, Path("W"), "Empty", ""));
    ExpectStoredText(Raw(Path("W"), "Empty"), "");
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("W"), "Empty"), std::string());
}

struct DwordCase {
    const char* label;
    std::int32_t number;
    Bytes stored;
};
void PrintTo(const DwordCase& c, std::ostream* os) { *os << c.label; }

class DwordWrites : public Conformance, public ::testing::WithParamInterface<DwordCase> {};

TEST_P(DwordWrites, StoreFourBytesInPlatformOrder) {
    const DwordCase& c = GetParam();
    ASSERT_TRUE(Routines().SetDwordValue(kHkeyLocalMachine, Path("W"), "MTU", c.number));
    const RawValue raw = Raw(Path("W"), "MTU");
    EXPECT_EQ(raw.status, reg::kErrorSuccess);
    EXPECT_EQ(raw.type, reg::kRegDword);
    EXPECT_EQ(raw.bytes, c.stored);
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("W"), "MTU"), c.number);
}

INSTANTIATE_TEST_SUITE_P(Table, DwordWrites,
                         ::testing::Values(DwordCase{"mtu_1400", 1400, Bytes{0x78, 0x05, 0, 0}},
                                           DwordCase{"zero", 0, Bytes{0, 0, 0, 0}},
                                           DwordCase{"minus_one", -1, Bytes{0xFF, 0xFF, 0xFF, 0xFF}},
                                           DwordCase{"int_min", INT32_MIN, Bytes{0, 0, 0, 0x80}}),
                         [](const auto& row) { return std::string(row.param.label); });

TEST_F(Conformance, WriteReplacesAValueOfAnotherType) {
    Store(Path("W"), "MTU", reg::kRegSz, B("1400"));
    ASSERT_TRUE(Routines().SetDwordValue(kHkeyLocalMachine, Path("W"), "MTU", 576));
    EXPECT_EQ(Raw(Path("W"), "MTU").type, reg::kRegDword);
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("W"), "MTU"), std::nullopt);

    ASSERT_TRUE(Routines().SetStringValue(kHkeyLocalMachine, Path("W"), "MTU", "576"));
    EXPECT_EQ(Raw(Path("W"), "MTU").type, reg::kRegSz);
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("W"), "MTU"), 0);
}

// ---- Keys: creation, paths and names ----

TEST_F(Conformance, WritesCreateEveryMissingLevel) {
    ASSERT_FALSE(KeyExists(Path("A")));
    ASSERT_TRUE(Routines().SetDwordValue(kHkeyLocalMachine, Path("A\\B\\C"), "MTU", 1400));
    EXPECT_TRUE(KeyExists(Path("A")));
    EXPECT_TRUE(KeyExists(Path("A\\B")));
    EXPECT_TRUE(KeyExists(Path("A\\B\\C")));

    ASSERT_TRUE(Routines().SetStringValue(kHkeyLocalMachine, Path("D\\E"), "MaxMTU", "1400"));
    EXPECT_TRUE(KeyExists(Path("D\\E")));
}

TEST_F(Conformance, ReadsAndDeletesOnAMissingPathCreateNothing) {
    Store(Path(), "Marker", reg::kRegSz, B("x"));
    static_cast<void>(Routines().GetStringValue(kHkeyLocalMachine, Path("X\\Y"), "MaxMTU"));
    static_cast<void>(Routines().GetDwordValue(kHkeyLocalMachine, Path("X\\Y"), "MTU"));
    EXPECT_TRUE(Routines().DeleteValue(kHkeyLocalMachine, Path("X\\Y"), "MTU"));
    EXPECT_FALSE(KeyExists(Path("X")));
}

TEST_F(Conformance, DeleteRemovesTheValueAndOnlyThatValue) {
    Store(Path("K"), "MTU", reg::kRegDword, Dword(1400));
    Store(Path("K"), "Keep", reg::kRegSz, B("x"));
    EXPECT_TRUE(Routines().DeleteValue(kHkeyLocalMachine, Path("K"), "MTU"));
    EXPECT_EQ(Raw(Path("K"), "MTU").status, reg::kErrorFileNotFound);
    EXPECT_EQ(Raw(Path("K"), "Keep").bytes, B("x"));
    // A second delete finds nothing and changes nothing; it is not a refusal.
    EXPECT_TRUE(Routines().DeleteValue(kHkeyLocalMachine, Path("K"), "MTU"));
    EXPECT_EQ(Raw(Path("K"), "Keep").bytes, B("x"));
    EXPECT_TRUE(KeyExists(Path("K")));
}

TEST_F(Conformance, TrailingBackslashNamesTheSameKey) {
    ASSERT_TRUE(Routines().SetDwordValue(kHkeyLocalMachine, Path("Params") + "\\", "EnablePMTUDiscovery", 0));
    EXPECT_EQ(Raw(Path("Params"), "EnablePMTUDiscovery").type, reg::kRegDword);
    Store(Path("Params"), "Other", reg::kRegDword, Dword(7));
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("Params") + "\\", "Other"), 7);
    EXPECT_TRUE(Routines().DeleteValue(kHkeyLocalMachine, Path("Params") + "\\", "Other"));
    EXPECT_EQ(Raw(Path("Params"), "Other").status, reg::kErrorFileNotFound);
}

TEST_F(Conformance, KeyAndValueNamesIgnoreCase) {
    Store(Path("Interfaces\\{AbC}"), "ServiceName", reg::kRegSz, B("{AbC}"));
    EXPECT_EQ(Routines().GetStringValue(kHkeyLocalMachine, Path("INTERFACES\\{abc}"), "servicename"),
              "{AbC}");
    ASSERT_TRUE(Routines().SetDwordValue(kHkeyLocalMachine, Path("interfaces\\{ABC}"), "mtu", 1400));
    EXPECT_EQ(Routines().GetDwordValue(kHkeyLocalMachine, Path("Interfaces\\{AbC}"), "MTU"), 1400);
    EXPECT_TRUE(Routines().DeleteValue(kHkeyLocalMachine, Path("Interfaces\\{abc}"), "Mtu"));
    EXPECT_EQ(Raw(Path("Interfaces\\{AbC}"), "MTU").status, reg::kErrorFileNotFound);
}

// ---- What the routines rely on from the platform calls themselves ----

TEST_F(Conformance, CallsOnTheNullHandleFailWithoutEffect) {
    std::uint32_t size = 0;
    ValueType type = reg::kRegNone;
    const Bytes one{1, 0, 0, 0};
    EXPECT_EQ(Api().RegQueryValueExA(kNullHandle, "MTU", &type, nullptr, &size), reg::kErrorInvalidHandle);
    EXPECT_NE(Api().RegSetValueExA(kNullHandle, "MTU", reg::kRegDword, one.data(), 4), reg::kErrorSuccess);
    EXPECT_NE(Api().RegDeleteValueA(kNullHandle, "MTU"), reg::kErrorSuccess);
    EXPECT_NE(Api().RegCloseKey(kNullHandle), reg::kErrorSuccess);
}

TEST_F(Conformance, OpenNeverCreatesAndLeavesTheHandleNull) {
    Handle key = 12345;
    EXPECT_EQ(Api().RegOpenKeyA(kHkeyLocalMachine, Path("Nowhere"), key), reg::kErrorFileNotFound);
    EXPECT_EQ(key, kNullHandle);
    EXPECT_FALSE(KeyExists(Path("Nowhere")));
}

TEST_F(Conformance, QueryReportsTypeAndSizeThenCopies) {
    Store(Path("Q"), "Name", reg::kRegSz, B(std::string("abc\0", 4)));
    Handle key = kNullHandle;
    ASSERT_EQ(Api().RegOpenKeyA(kHkeyLocalMachine, Path("Q"), key), reg::kErrorSuccess);

    ValueType type = reg::kRegNone;
    std::uint32_t size = 0;
    EXPECT_EQ(Api().RegQueryValueExA(key, "Name", &type, nullptr, &size), reg::kErrorSuccess);
    EXPECT_EQ(type, reg::kRegSz);
    EXPECT_EQ(size, 4U);

    std::uint8_t small[2] = {};
    std::uint32_t smallSize = sizeof small;
    EXPECT_EQ(Api().RegQueryValueExA(key, "Name", &type, small, &smallSize), reg::kErrorMoreData);
    EXPECT_EQ(smallSize, 4U);

    std::uint8_t buffer[8] = {};
    std::uint32_t bufferSize = sizeof buffer;
    EXPECT_EQ(Api().RegQueryValueExA(key, "Name", &type, buffer, &bufferSize), reg::kErrorSuccess);
    EXPECT_EQ(bufferSize, 4U);
    EXPECT_EQ(std::memcmp(buffer, "abc", 4), 0);

    EXPECT_EQ(Api().RegQueryValueExA(key, "Missing", &type, nullptr, &size), reg::kErrorFileNotFound);
    EXPECT_EQ(Api().RegCloseKey(key), reg::kErrorSuccess);
}

TEST_F(Conformance, ClosedHandleIsNoLongerUsable) {
    Store(Path("C"), "MTU", reg::kRegDword, Dword(1));
    Handle key = kNullHandle;
    ASSERT_EQ(Api().RegOpenKeyA(kHkeyLocalMachine, Path("C"), key), reg::kErrorSuccess);
    ASSERT_EQ(Api().RegCloseKey(key), reg::kErrorSuccess);
    EXPECT_EQ(Api().RegDeleteValueA(key, "MTU"), reg::kErrorInvalidHandle);
    EXPECT_EQ(Raw(Path("C"), "MTU").bytes, Dword(1));
}

}  // namespace
}  // namespace quillon::test
