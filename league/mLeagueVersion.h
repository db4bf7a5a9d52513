#pragma once

#include <filesystem>
#include <string_view>

#include "league/mGlobal.h"

namespace tavrin {

// Reads the league file's header and sets state.iLeagueVersion from its tag.
// A file that cannot be read (missing, a link, a pipe, a folder) is an Error
// naming it and the reason; the run checks for those first.
void ReadLeagueVersion(ProgramState& state, const std::filesystem::path& sLeaguePath);

// "L03:" gives 0, "L02:" gives 1, anything else 2; exact, case-sensitive.
void CheckLeagueTag(ProgramState& state, std::string_view tag);

}  // namespace tavrin
