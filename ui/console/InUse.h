#pragma once
// The MTU in use now: after apply or remove has stored or deleted it, the
// same MTU (or, after remove, the link's) put into use at once on each adapter
// where Windows can do that, one line for each.

#include <vector>

#include "ui/console/Session.h"

namespace quillon::ui {

// Puts each slot's stored MTU (or, with `linkMtu`, its link's MTU) into use
// and says for each what it uses now or why Windows refused; where Windows
// cannot (the 9x family, Windows before Vista), says that the change counts
// from the next restart. False where Windows refused it on any slot.
bool PutIntoUse(Session& session, settings::Family family, const std::vector<settings::SlotReport>& slots,
                bool linkMtu);

// The MTU a slot stores, as a number; 0 where it stores none or not a whole number.
unsigned StoredNumber(const settings::SlotReport& slot);

}  // namespace quillon::ui
