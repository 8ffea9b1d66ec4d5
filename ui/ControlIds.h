#pragma once
// Control and menu identifiers of both settings windows. Automation and the
// end-to-end tests find the controls by these.

namespace quillon::ui {

inline constexpr int kIdFrame = 1000;
inline constexpr int kIdApply = 1001;     // Command1 / Command3
inline constexpr int kIdMtuBox = 1002;    // Text3 / Text4
inline constexpr int kIdLabel = 1003;     // Label1 / Label2
inline constexpr int kIdRemove = 1004;    // Command2 / Command4
inline constexpr int kIdRetrieve = 2001;  // File > Retrieve MTU (mnuRMTU)
inline constexpr int kIdExit = 2002;      // File > Exit (mnuExit)

}  // namespace quillon::ui
