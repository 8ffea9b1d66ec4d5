#include "net/win32/IcmpEcho.h"

#include <cstring>
#include <vector>

#include "net/win32/SystemLibrary.h"

namespace quillon::net {

namespace {

// The IP helper's probes go with Windows' own time to live; the reply buffer
// holds the reply, its data, the eight bytes more that an ICMP error needs,
// and 40 to spare for the IP options a reply may carry.
constexpr UCHAR kTimeToLive = 128;
constexpr DWORD kReplySlack = 8 + 40;
constexpr std::uint32_t kLargestEchoData = 65500;
// ICMPV6_ECHO_REPLY as Windows lays it out (its address structure packed):
// the answering address at byte 6, the status at 28, the reply's data from 36.
constexpr std::size_t kReply6AddressAt = 6;
constexpr std::size_t kReply6StatusAt = 28;
constexpr std::size_t kReply6Bytes = 36;

// The data of every echo.
std::vector<unsigned char> EchoData(std::uint32_t dataBytes) {
    std::vector<unsigned char> data(dataBytes);
    for (std::size_t i = 0; i != data.size(); ++i) {
        data[i] = EchoFiller(i);
    }
    return data;
}

}  // namespace

IcmpEcho::~IcmpEcho() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        closeHandle_(handle_);
    }
    if (ipHelperModule_ != nullptr) {
        FreeLibrary(ipHelperModule_);
    }
    if (icmpModule_ != nullptr) {
        FreeLibrary(icmpModule_);
    }
}

void IcmpEcho::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    const char* const names = "IcmpCreateFile\0IcmpCloseHandle\0IcmpSendEcho";
    const auto functions = {FunctionSlot(createFile_), FunctionSlot(closeHandle_), FunctionSlot(sendEcho_)};
    ipHelperModule_ = LoadSystemLibrary("iphlpapi.dll");
    // Before XP the echo functions are in a library of their own.
    if (!FindFunctions(ipHelperModule_, names, functions)) {
        icmpModule_ = LoadSystemLibrary("icmp.dll");
        FindFunctions(icmpModule_, names, functions);
    }
}

bool IcmpEcho::Open() {
    if (createFile_ == nullptr || closeHandle_ == nullptr || sendEcho_ == nullptr) {
        return false;
    }
    if (handle_ == INVALID_HANDLE_VALUE) {
        handle_ = createFile_();
    }
    return handle_ != INVALID_HANDLE_VALUE;
}

HelperAnswer IcmpEcho::Send(const Address& target, std::uint32_t dataBytes, unsigned timeoutMs) const {
    HelperAnswer answer;
    if (dataBytes > kLargestEchoData) {
        answer.status = ERROR_INVALID_PARAMETER;
        return answer;
    }
    const std::vector<unsigned char> data = EchoData(dataBytes);
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + dataBytes + kReplySlack);
    IP_OPTION_INFORMATION options{};
    options.Ttl = kTimeToLive;
    options.Flags = IP_FLAG_DF;
    IPAddr to = 0;
    std::memcpy(&to, target.data(), target.size());
    SetLastError(ERROR_SUCCESS);
    const DWORD replies = sendEcho_(handle_, to, const_cast<unsigned char*>(data.data()), static_cast<WORD>(dataBytes), &options,
                                    reply.data(), static_cast<DWORD>(reply.size()), timeoutMs);
    if (replies == 0) {
        answer.status = GetLastError();
        return answer;
    }
    const auto* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    answer.replied = true;
    answer.status = first->Status;
    std::memcpy(answer.from.data(), &first->Address, answer.from.size());
    answer.dataBytes = first->DataSize;
    // The reply's data, which the IP helper leaves in the buffer, must be
    // the start of what this echo carried.
    const auto at = reinterpret_cast<std::uintptr_t>(first->Data);
    const auto begin = reinterpret_cast<std::uintptr_t>(reply.data());
    const bool inside =
        at >= begin && at - begin <= reply.size() && first->DataSize <= reply.size() - (at - begin);
    answer.otherData =
        first->DataSize > dataBytes ||
        (first->DataSize != 0 && (!inside || std::memcmp(first->Data, data.data(), first->DataSize) != 0));
    return answer;
}

}  // namespace quillon::net

namespace quillon::net {

Icmp6Echo::~Icmp6Echo() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        closeHandle_(handle_);
    }
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

bool Icmp6Echo::Open() {
    if (module_ == nullptr) {
        module_ = LoadSystemLibrary("iphlpapi.dll");
        if (!FindFunctions(module_, "Icmp6CreateFile\0IcmpCloseHandle\0Icmp6SendEcho2",
                           {FunctionSlot(createFile_), FunctionSlot(closeHandle_), FunctionSlot(sendEcho_)})) {
            createFile_ = nullptr;  // no handle without all three, also on a later call
            return false;
        }
    }
    if (handle_ == INVALID_HANDLE_VALUE && createFile_ != nullptr) {
        handle_ = createFile_();
    }
    return handle_ != INVALID_HANDLE_VALUE;
}

HelperAnswer Icmp6Echo::Send(const sockaddr_in6& target, std::uint32_t dataBytes, unsigned timeoutMs,
                             Address6& from) const {
    HelperAnswer answer;
    const std::vector<unsigned char> data = EchoData(dataBytes);
    std::vector<unsigned char> reply(kReply6Bytes + dataBytes + kReplySlack);
    sockaddr_in6 source{};
    source.sin6_family = AF_INET6;
    sockaddr_in6 to = target;
    IP_OPTION_INFORMATION options{};
    options.Ttl = kTimeToLive;
    SetLastError(ERROR_SUCCESS);
    const DWORD replies = sendEcho_(handle_, nullptr, nullptr, nullptr, &source, &to,
                                    const_cast<unsigned char*>(data.data()), static_cast<WORD>(dataBytes),
                                    &options, reply.data(), static_cast<DWORD>(reply.size()), timeoutMs);
    if (replies == 0) {
        answer.status = GetLastError();
        return answer;
    }
    // Windows matches the reply to the echo itself; its length is not said.
    answer.replied = true;
    std::memcpy(&answer.status, &reply[kReply6StatusAt], sizeof answer.status);
    std::memcpy(from.data(), &reply[kReply6AddressAt], from.size());
    answer.dataBytes = dataBytes;
    return answer;
}

}  // namespace quillon::net
