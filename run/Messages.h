#pragma once

// The texts the run core and its front ends share, built in one place.

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrin::run {

// Hide asked for with no experience limit chosen: the window's list shows it
// as its placeholder too.
inline constexpr std::string_view kSelectYears = "Select Years";

// What every refusal adds: a refusal is made before the first change.
inline constexpr std::string_view kNothingChanged = "No file was changed.";

// What the summary of a dry run ends with.
inline constexpr std::string_view kDryRunNote = " (dry run: no file was changed)";

// The league file itself, as the run and every front end check it before
// anything else: a Refusal naming it where it does not exist, is a symbolic
// link, or is not a regular file.
void CheckLeagueFile(const std::filesystem::path& league);

// "X is a symbolic link to Y; Tavrin never writes through a link: open the
// league where it really is": a link is never followed, and the user can
// open the league where it really is.
std::string LinkText(const std::filesystem::path& link, const std::filesystem::path& target);

// What a league's history keeps, for the listings: "2 runs kept in
// Demo.history", "no run kept yet in Demo.history".
std::string RunsKeptText(std::size_t runs, const std::filesystem::path& folder);

// A file whose header is not a league Tavrin knows, with what it begins with
// (`tag`, the first bytes read); a player file chosen for its league is told
// so, naming the league file beside it.
std::string NotALeagueText(const std::filesystem::path& league, std::string_view tag);

}  // namespace tavrin::run
