#pragma once

// A league as it stands, read straight from its files without a run and
// without the working database: every player as the player file holds him,
// whether his potentials are his true ones or Tavrin's hidden or randomized
// ones, and what the league's .pot and history keep. `tavrin show` and the
// window's Players table lay it out.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "league/PlayerFile.h"
#include "league/ProgramState.h"
#include "pots/SavedTruth.h"
#include "run/History.h"

namespace tavrin::run {

// Whose a player's potentials in the player file are. Unknown: the .pot
// cannot be read completely, so nobody can tell.
enum class Whose { True, Hidden, Randomized, Unknown };
inline constexpr std::array<std::string_view, 4> kWhoseWords{"true", "hidden", "randomized", "unknown"};

struct ReportedPlayer {
    std::int64_t slot{};
    int pidA{}, pidB{};
    std::string firstName, lastName;  // UTF-8, up to the first NUL
    int position{}, years{};
    std::array<int, 8> act{}, pot{};
    Whose potentials = Whose::True;
};

struct LeagueReport {
    LeaguePaths paths;
    RecordKind kind = RecordKind::L02;
    std::int64_t players = 0;
    std::array<std::int64_t, 4> counts{};  // players by Whose
    bool potExists = false;
    std::optional<SavedRun> saved;        // the run that saved the .pot's record
    std::optional<std::string> potProblem;  // why the .pot cannot be read completely
    std::filesystem::path historyFolder;
    std::vector<HistoryRun> runs;  // oldest first
};

// Reads the league file `league` and its files, handing each player to
// `each` in slot order once the player file is found readable. A league that
// cannot be read is a Refusal naming the file; a failure while reading, an
// Error.
LeagueReport ReportLeague(const std::filesystem::path& league, const std::function<void(const ReportedPlayer&)>& each);

// The report's notes, a line each: whose the potentials are and where the
// true ones are kept; how many runs the history keeps.
std::string PotentialsNote(const LeagueReport& report);

}  // namespace tavrin::run
