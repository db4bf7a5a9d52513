#include "app/LeagueReport.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "db/PlayersTable.h"
#include "league/Clock.h"
#include "league/Cp1252.h"
#include "league/FormatTag.h"
#include "league/PlayerFile.h"
#include "league/ProgramState.h"
#include "league/RecordLayout.h"
#include "pots/SavedPotentials.h"
#include "run/History.h"
#include "run/Messages.h"

namespace tavrin::app {

namespace fs = std::filesystem;

namespace {

// Whose the potentials in the player file are: the player's true ones, or
// Tavrin's.
enum class Whose { True, Hidden, Randomized };
constexpr std::array<std::string_view, 3> kWhoseWords{"true", "hidden", "randomized"};

// One player as the report shows him, from the plain bytes of his record.
struct ShownPlayer {
    std::int64_t slot{};
    int pidA{}, pidB{};
    std::string firstName, lastName;  // UTF-8, up to the first NUL
    int position{}, years{};
    std::array<int, 8> act{}, pot{};
    Whose potentials = Whose::True;
};

ShownPlayer Decoded(std::int64_t slot, std::span<const std::uint8_t> plain) {
    ShownPlayer p;
    p.slot = slot;
    const auto byte = [&](Col column) { return static_cast<int>(plain[OffsetOf(column)]); };
    p.pidA = byte(Col::PID_a);
    p.pidB = byte(Col::PID_b);
    p.firstName = NameText(plain, Col::FirstName);
    p.lastName = NameText(plain, Col::LastName);
    p.position = byte(Col::Position);
    p.years = byte(Col::Years);
    for (std::size_t a = 0; a < kPotColumns.size(); ++a) {
        p.act[a] = byte(kActColumns[a]);
        p.pot[a] = byte(kPotColumns[a]);
    }
    return p;
}

void Write(std::FILE* out, const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); }

// --- The table ---

// A name for the terminal: control characters (a name's bytes may be any)
// shown as '?', padded to the longest name's 13 characters.
std::string TableName(const std::string& utf8) {
    std::u32string points;
    cp1252::Utf8ToCodePoints(utf8, points);
    std::string out;
    for (const char32_t c : points) cp1252::AppendUtf8(out, c < 0x20 || (c >= 0x7F && c < 0xA0) ? U'?' : c);
    if (points.size() < kNameLen) out.append(kNameLen - points.size(), ' ');
    return out;
}

std::string Right(const std::string& text, std::size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string Ratings(const std::array<int, 8>& values) {
    std::string out;
    for (const int v : values) out += Right(std::to_string(v), 3);
    return out;
}

void WriteTableHeader(std::FILE* out) {
    std::string codes;
    for (const std::string_view code : kAttributeCodes) codes += " " + std::string(code);
    // Each group's title above its first code.
    std::string first = std::string(56, ' ') + "Current ratings";
    first.append(81 - first.size(), ' ');
    Write(out, first + "Potentials\n");
    Write(out, "  Slot  PID      First name     Last name      Pos Yrs " + codes + " " + codes + "  Pots are\n");
}

void WriteTableRow(std::FILE* out, const ShownPlayer& p) {
    std::string pid = std::to_string(p.pidA) + "/" + std::to_string(p.pidB);
    pid.append(pid.size() < 7 ? 7 - pid.size() : 0, ' ');
    Write(out, Right(std::to_string(p.slot), 6) + "  " + pid + "  " + TableName(p.firstName) + "  " +
                   TableName(p.lastName) + Right(std::to_string(p.position), 5) + Right(std::to_string(p.years), 4) +
                   " " + Ratings(p.act) + " " + Ratings(p.pot) + "  " +
                   std::string(kWhoseWords[static_cast<std::size_t>(p.potentials)]) + "\n");
}

// --- Comma-separated values (RFC 4180) ---

// A field in quotes where it holds a comma, a quote or a line break, its
// quotes doubled; a name keeps every character it has. One that a
// spreadsheet would take for a formula (it begins with =, +, -, @, a tab or a
// carriage return) begins with ' instead, the usual defence.
std::string CsvField(std::string text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        text.insert(0, 1, '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void WriteCsvHeader(std::FILE* out) {
    std::string line = "Slot";
    for (const Col c : {Col::PID_a, Col::PID_b, Col::FirstName, Col::LastName, Col::Position, Col::Years})
        line += "," + std::string(Name(c));
    for (const Col c : kActColumns) line += "," + std::string(Name(c));
    for (const Col c : kPotColumns) line += "," + std::string(Name(c));
    Write(out, line + ",PotentialsAre\n");
}

void WriteCsvRow(std::FILE* out, const ShownPlayer& p) {
    std::string line = std::to_string(p.slot) + "," + std::to_string(p.pidA) + "," + std::to_string(p.pidB) + "," +
                       CsvField(p.firstName) + "," + CsvField(p.lastName) + "," + std::to_string(p.position) + "," +
                       std::to_string(p.years);
    for (const int v : p.act) line += "," + std::to_string(v);
    for (const int v : p.pot) line += "," + std::to_string(v);
    Write(out, line + "," + std::string(kWhoseWords[static_cast<std::size_t>(p.potentials)]) + "\n");
}

// --- The notes ---

std::string FileName(const fs::path& p) { return PathText(p.filename()); }

// Whose the potentials are, in one line: how many players have Tavrin's,
// and where their true ones are.
std::string PotentialsNote(const LeaguePaths& paths, const std::optional<SavedRun>& saved,
                           const std::array<std::int64_t, 3>& counts) {
    std::error_code ec;
    const std::string pyr = FileName(paths.playerFile), pot = FileName(paths.potFile);
    const std::int64_t hidden = counts[1], randomized = counts[2];
    if (!fs::exists(paths.potFile, ec))
        return "Potentials: every player's in " + pyr + " are his true ones; there is no " + pot + " of an earlier run.";
    const std::string by = saved ? " by " + saved->operation + " on " + LocalTimeText(saved->savedAt) : "";
    if (hidden + randomized == 0)
        return "Potentials: every player's in " + pyr + " are his true ones; " + pot + " holds them as saved" + by + ".";
    return "Potentials: " + std::to_string(hidden) + " players have hidden potentials and " +
           std::to_string(randomized) + " randomized ones" + by + "; their true ones are in " + pot +
           " (tavrin restore brings them back).";
}

void WriteNotes(std::FILE* notes, const LeaguePaths& paths, const ImportedLeague& read,
                const std::string& potentials) {
    Write(notes, std::to_string(read.players) + " players in " + PathText(paths.playerFile) + " (a league of the " +
                     (read.kind == RecordKind::L02 ? "L02" : "L03") + " format).\n");
    Write(notes, potentials + "\n");
    const run::History history(paths.league);
    const auto runs = history.Runs();
    if (runs.empty()) {
        Write(notes, "History: no run kept yet in " + PathText(history.Folder()) + ".\n");
        return;
    }
    Write(notes, "History: " + std::to_string(runs.size()) + (runs.size() == 1 ? " run" : " runs") + " kept in " +
                     PathText(history.Folder()) + ", oldest first:\n");
    for (const auto& run : runs)
        Write(notes, "  " + std::to_string(run.number) + "  " + LocalTimeText(run.time) + "  " + run.summary + "\n");
}

}  // namespace

void WriteLeagueReport(const fs::path& league, ReportFormat format, std::FILE* out, std::FILE* notes) {
    run::CheckLeagueFile(league);
    const LeaguePaths paths = LeaguePaths::Of(league);
    std::string tag;
    const LeagueFormat leagueFormat = ReadFormatTag(league, &tag);
    if (leagueFormat == LeagueFormat::Unknown) throw Refusal(run::NotALeagueText(league, tag));
    const RecordKind kind = leagueFormat == LeagueFormat::L02 ? RecordKind::L02 : RecordKind::L03;

    // Whose each player's potentials are: his own, unless they are still the
    // ones the last run wrote in his place (SavedPotentials.h).
    SavedTruth saved(paths.potFile, paths.playerFile);
    std::array<std::int64_t, 3> counts{};

    // The header waits for the player file to be found readable: a refusal
    // leaves standard output empty.
    bool headed = false;
    const auto header = [&] {
        if (headed) return;
        headed = true;
        if (format == ReportFormat::Table) WriteTableHeader(out);
        else WriteCsvHeader(out);
    };
    const ImportedLeague read =
        ReadPlayerFile(paths.playerFile, kind, [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
            header();
            ShownPlayer p = Decoded(slot, plain);
            if (const SavedTruth::Player* row = kind == RecordKind::L02 ? saved.At(slot) : nullptr;
                row && saved.IsTavrins(*row, plain) && PotentialsOf(plain) != row->truth) {
                const Potentials none{};
                p.potentials = PotentialsOf(plain) == none ? Whose::Hidden : Whose::Randomized;
            }
            ++counts[static_cast<std::size_t>(p.potentials)];
            if (format == ReportFormat::Table) WriteTableRow(out, p);
            else WriteCsvRow(out, p);
        });
    header();
    if (format == ReportFormat::Table) Write(out, "\n");
    WriteNotes(notes, paths, read, PotentialsNote(paths, saved.Run(), counts));
}

}  // namespace tavrin::app
