#pragma once
// The MTU in use now: after apply or remove has stored or deleted it, the
// same MTU (or, after remove, the link's) put into use at once on each adapter
// where Windows can do that.

#include "ui/console/Results.h"
#include "ui/console/Session.h"

namespace quillon::ui {

// Whether an MTU in use was set by something else (a VPN client, netsh):
// below the link's, and not the MTU the adapter stored before this run. Both
// 0 where the system does not say.
bool SetElsewhere(unsigned inUse, unsigned link, unsigned storedBefore);

// Puts `asked` (0: not a whole number, nothing to put into use), or with
// `linkMtu` the link's MTU, into use for each IP version acted on, and reads
// it back into adapter.ip; `storedBefore` is the MTU the adapter stored
// before this run. Unless the adapter was `chosen` by name, an MTU something
// else set is not raised, nor put back to the link's; IPv6 takes nothing
// below its smallest MTU, and remove -6 puts back only a `chosen` adapter's.
// Where this system cannot (Windows before Vista), says kRestart for IPv4
// and sets `restart`; once `restart` is set (as the caller sets it for the 9x
// family and where no table is known), nothing more is asked.
void PutIntoUse(Session& session, AdapterResult& adapter, unsigned asked, bool linkMtu, unsigned storedBefore,
                bool chosen, bool& restart);

// Why the MTU was not put into use for that IP version (refused, left as it
// is, not connected); empty where it was, or nothing was asked.
std::string Reason(const AdapterResult& adapter, net::IpVersion version);

// The lines that say what became of each adapter's MTU in use, and the
// restart line, as apply and remove print them.
void SayInUse(ConsoleOutput& output, const FamilyResult& family);

// What the adapter's interfaces use now, IPv4's and IPv6's, and its link's
// MTU, into adapter.ip, where the system says.
void ReadInUse(Session& session, AdapterResult& adapter);

// The MTU a slot stores, as a number; 0 where it stores none or not a whole number.
unsigned StoredNumber(const settings::SlotReport& slot);

}  // namespace quillon::ui
