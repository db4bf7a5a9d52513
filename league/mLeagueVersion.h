#pragma once

#include <filesystem>
#include <string_view>

#include "league/mGlobal.h"

namespace tavrin {

// Reads the league file's header and sets state.iLeagueVersion from its tag.
// Like the game's own tools, it opens the file for binary access, which
// creates a missing file empty (its code is then kLeagueOther). A file that
// cannot be opened at all is an Error naming it and the reason; anything but
// a regular file (a pipe, a folder) is a Refusal, before it is opened.
void ReadLeagueVersion(ProgramState& state, const std::filesystem::path& sLeaguePath);

// "L03:" gives 0, "L02:" gives 1, anything else 2; exact, case-sensitive.
void CheckLeagueTag(ProgramState& state, std::string_view tag);

}  // namespace tavrin
