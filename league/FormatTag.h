#pragma once

// The league file's format tag: the first four characters of its header say
// which record the player file beside it holds.

#include <filesystem>
#include <string_view>

namespace tavrin {

enum class LeagueFormat {
    L03,      // "L03:" — 60-byte records, loaded only
    L02,      // "L02:" — 51-byte records, the whole run
    Unknown,  // anything else — not a league Tavrin knows
};

// The format the tag names: exact and case-sensitive.
LeagueFormat FormatOfTag(std::string_view tag);

// Reads the league file's tag. A file that cannot be read (missing, a link,
// a pipe, a folder) is an Error naming it and the reason; the run checks for
// those first. `tag` receives the bytes read (up to four).
LeagueFormat ReadFormatTag(const std::filesystem::path& league, std::string* tag = nullptr);

}  // namespace tavrin
