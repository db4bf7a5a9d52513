#pragma once

// Times as Tavrin stores them (ISO 8601 in UTC, so that a change of the
// local clock or time zone never reorders anything) and as a user reads
// them (local time).

#include <string>

namespace tavrin {

// The time now: "2026-12-06T05:00:00Z".
std::string NowUtc();
// Such a time as the user reads it, in local time: "6 Dec 2026 06:00".
std::string LocalTimeText(const std::string& isoUtc);

}  // namespace tavrin
