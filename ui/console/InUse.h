#pragma once
// The MTU in use now: after apply or remove has stored or deleted it, the
// same MTU (or, after remove, the link's) put into use at once on each adapter
// where Windows can do that, one line for each.

#include <vector>

#include "ui/console/Session.h"

namespace quillon::ui {

// An adapter whose MTU apply stored or remove deleted, with the MTU it
// stored before this run (0: none, or not a number).
struct InUseTarget {
    settings::SlotReport slot;
    unsigned before = 0;
};

// Whether an MTU in use was set by something else (a VPN client, netsh):
// below the link's, and not the MTU the adapter stored before this run. Both
// 0 where the system does not say.
bool SetElsewhere(unsigned inUse, unsigned link, unsigned storedBefore);

// Puts each adapter's stored MTU (or, with `linkMtu`, its link's MTU) into
// use and says for each what it uses now or why Windows refused; where
// Windows cannot (the 9x family, Windows before Vista), says that the change
// counts from the next restart. Unless the adapter was `chosen` by name, an
// MTU something else set is not raised, nor put back to the link's. False
// where Windows refused it on any adapter; an adapter with no interface now
// is no refusal.
bool PutIntoUse(Session& session, settings::WindowsFamily family, const std::vector<InUseTarget>& targets, bool linkMtu,
                bool chosen);

// The MTU a slot stores, as a number; 0 where it stores none or not a whole number.
unsigned StoredNumber(const settings::SlotReport& slot);

}  // namespace quillon::ui
