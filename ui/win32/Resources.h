#pragma once
// Resource identifiers, shared by the resource script and the program.

#define QUILLON_IDI_APP 1

#ifndef RC_INVOKED
namespace quillon::ui::win32 {
inline constexpr int kIdIcon = QUILLON_IDI_APP;
}  // namespace quillon::ui::win32
#endif
