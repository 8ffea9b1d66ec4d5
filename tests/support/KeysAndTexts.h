#pragma once
// What the tests expect of the program, spelt once: the keys it reads and
// writes below HKEY_LOCAL_MACHINE, the names of its values, and the texts it
// shows. Written out here rather than taken from the program, so that a
// mistake in the program's own spelling shows.

#include <string>

namespace quillon::test {

// ---- keys ----
inline const std::string kNtVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline const std::string k9xVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline const std::string kCards = kNtVersion + "\\NetworkCards\\";
inline const std::string kServices = "SYSTEM\\CurrentControlSet\\Services\\";
inline const std::string kTcpip = kServices + "Tcpip";
inline const std::string kParameters = kTcpip + "\\Parameters";
inline const std::string kInterfaces = kParameters + "\\Interfaces\\";
// The 9x family's keys, spelt as that family spells them.
inline const std::string kClass = "System\\CurrentControlSet\\Services\\Class";
inline const std::string kNetTrans = kClass + "\\NetTrans\\";
inline const std::string kVxd = "System\\CurrentControlSet\\Services\\VxD";
inline const std::string kMstcp = kVxd + "\\MSTCP";

// Where NT 3.51 and 4.0 read an adapter's TCP/IP values.
inline std::string ServiceTcpip(const std::string& serviceName) {
    return kServices + serviceName + "\\Parameters\\Tcpip";
}

// ---- values ----
inline const std::string kProductName = "ProductName";
inline const std::string kServiceName = "ServiceName";
inline const std::string kMtu = "MTU";                           // DWORD, per interface (NT)
inline const std::string kPmtuSwitch = "EnablePMTUDiscovery";    // DWORD, in kParameters (NT)
inline const std::string kIpAddress = "IPAddress";               // per transport (9x)
inline const std::string kDriverDate = "DriverDate";             // per transport (9x)
inline const std::string kMaxMtu = "MaxMTU";                     // text, per transport (9x)
inline const std::string kPmtuSwitch9x = "PMTUDiscovery";        // text, in kMstcp (9x)

// ---- texts ----
inline const std::string kTitle = "Quillon MTU Tool";
inline std::string Caption(const std::string& productName) { return kTitle + " (" + productName + ")"; }
inline const std::string kApplied = "MTU setting applied successfully.";
inline const std::string kRemoved = "Your MTU setting has been removed.";
inline const std::string kNotSaved =
    "The MTU setting could not be saved. Run Quillon MTU Tool as an administrator and try again.";
inline const std::string kNotRemoved =
    "The MTU setting could not be removed. Run Quillon MTU Tool as an administrator and try again.";
inline const std::string kNoFamily = "No supported version of Windows was found.";
// The console program's line after apply or remove where the MTU in use
// does not change at once.
inline const std::string kAtRestart = "The change takes effect when Windows restarts.";

}  // namespace quillon::test
