#pragma once

// What Tavrin can do to a league, each operation's facts in one place: the
// run core, the window and the command line all read them from here.

#include <array>
#include <cstdint>
#include <string_view>

namespace tavrin::run {

enum class Operation { Hide, Randomize, Restore, Undo };

struct OperationFacts {
    Operation operation;
    std::string_view name;     // in the history and the .pot: "Hide"
    std::string_view caption;  // the window's option, in its order there; empty: not offered there
    std::string_view word;     // the command line's command: "hide"
    std::string_view did;      // the summary's verb: "Hid"
    std::string_view wouldDo;  // a dry run's: "Would hide"
    std::string_view step;     // what the run is doing while it runs the operation
    // Whether the league's potentials after the operation are its true ones
    // (Restore, Undo), rather than those before it (Hide, Randomize): what
    // the new .pot keeps.
    bool resultIsTheTruth;
};

inline constexpr std::array<OperationFacts, 4> kOperations{{
    {Operation::Hide, "Hide", "Hide Pots", "hide", "Hid", "Would hide", "Hiding the potentials", false},
    {Operation::Randomize, "Randomize", "Randomize Pots", "randomize", "Randomized", "Would randomize",
     "Randomizing the potentials", false},
    {Operation::Restore, "Restore", "Restore Pots", "restore", "Restored", "Would restore", "Restoring the potentials",
     true},
    {Operation::Undo, "Undo", "", "undo", "Brought back", "Would bring back", "Bringing back the files", true},
}};

// An operation's row in the table (the window numbers its options so): the
// table lists the operations in the enum's order.
constexpr std::size_t RowOf(Operation operation) { return static_cast<std::size_t>(operation); }
static_assert(kOperations[RowOf(Operation::Hide)].operation == Operation::Hide);
static_assert(kOperations[RowOf(Operation::Randomize)].operation == Operation::Randomize);
static_assert(kOperations[RowOf(Operation::Restore)].operation == Operation::Restore);
static_assert(kOperations[RowOf(Operation::Undo)].operation == Operation::Undo);

constexpr const OperationFacts& FactsOf(Operation operation) { return kOperations[RowOf(operation)]; }

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

}  // namespace tavrin::run
