#pragma once

// One run, from a league chosen to its player file saved, without a window:
// the main window and the command line both build a Request, call RunLeague
// and show its Outcome.
//
// A run on an "L02:" league: check the request and the league's files (a
// refusal changes nothing), take the locks, load the players into the
// working database, keep the true potentials in the .pot (Hide, Randomize),
// run the operation, write the player file back. Nothing the run replaces is
// thrown away: the old .pot and player file go into the league's history
// first. An "L03:" league is only loaded; any other tag is not a league
// Tavrin knows.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "league/mGlobal.h"
#include "pots/RandomSource.h"

namespace tavrin::run {

// The operations, numbered as the main window's options.
enum class Operation { Hide = 0, Randomize = 1, Restore = 2 };
std::string_view OperationName(Operation operation);  // "Hide", "Randomize", "Restore"

// The experience limits offered for Hide Pots: a player is hidden when his
// Years is below the limit, so "n yr and less" carries n + 1. `word` is how
// the command line names the entry.
struct YearsChoice {
    std::string_view text;
    std::int16_t limit;
    std::string_view word;
};
inline constexpr std::array<YearsChoice, 10> kYearsChoices{{
    {"All Players", 50, "all"},
    {"Rookies", 1, "rookies"},
    {"1 yr and less", 2, "1"},
    {"2 yr and less", 3, "2"},
    {"3 yr and less", 4, "3"},
    {"4 yr and less", 5, "4"},
    {"5 yr and less", 6, "5"},
    {"6 yr and less", 7, "6"},
    {"7 yr and less", 8, "7"},
    {"8 yr and less", 9, "8"},
}};

struct Request {
    Operation operation = Operation::Hide;
    // Hide: the chosen entry's limit; none when no entry is chosen.
    std::optional<std::int16_t> yearsLimit;
    std::filesystem::path league;  // the league file, *.lge
    // Restore: a kept saved-potentials file to restore from, instead of the
    // league's own .pot.
    std::filesystem::path restoreFrom;
    // Everything is computed; no file of the league is written.
    bool dryRun = false;
    // Collect every changed player in the outcome.
    bool listChanges = false;
    // How many runs of this league the history keeps.
    int historyRuns = 20;
};

// One player whose potentials the run changes (or, in a dry run, would).
struct PlayerChange {
    std::int64_t slot = 0;  // his record, counting from 1 after the header
    int pidA = 0, pidB = 0;
    std::string firstName, lastName;  // UTF-8, without the NUL padding
    int years = 0;
    std::array<int, 8> before{}, after{};  // potentials, SP AC AG ST HA EN IN DI
};

// What the still-hidden guard found: the player file is byte for byte the one
// an earlier Hide or Randomize saved, so its potentials are the hidden ones.
struct StillHidden {
    std::filesystem::path pyr, pot;
    std::string operation;  // of the earlier run
    std::string when;       // its time, as the user reads it
    Operation now;          // what this run would do
};

// What a front end lends the run.
class Host {
public:
    virtual ~Host() = default;
    // Whether to go on although the league's potentials are still hidden:
    // the window asks, the command line answers with its --force.
    virtual bool GoOnWhileStillHidden(const StillHidden& found) = 0;
};

struct Outcome {
    enum class Kind {
        Done,         // the run did what it was asked (an L03 league: loaded)
        Refused,      // bad input or a file in use: nothing was changed
        Cancelled,    // the user chose not to go on: nothing was changed
        Failed,       // it stopped part-way; the player file was not saved
        NothingToDo,  // the league file's tag is not one Tavrin knows
    };
    Kind kind = Kind::Done;
    // Done: one line saying what was done. Refused, Cancelled: why. Failed:
    // the reason, naming the file. NothingToDo: what was found.
    std::string message;
    // Failed: what the run was doing, and whether that was the operation
    // itself (after the first change in the working database).
    std::string step;
    bool inOperation = false;
    // Done: the league's players, and those whose potentials changed.
    std::int64_t players = 0, changed = 0;
    std::vector<PlayerChange> changes;           // when asked for
    std::vector<std::filesystem::path> kept;     // what the history received
};

// The message of a still-hidden league, for a question or a refusal.
std::string StillHiddenText(const StillHidden& found);

// Runs the request to its end. `state` receives the league's paths and
// format; its progress window shows the long steps.
Outcome RunLeague(const Request& request, ProgramState& state, Host& host, RandomSource& random);

}  // namespace tavrin::run
