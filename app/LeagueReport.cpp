#include "app/LeagueReport.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "db/Error.h"
#include "db/PlayersTable.h"
#include "league/Cp1252.h"
#include "league/mDbase.h"
#include "league/mGlobal.h"
#include "league/mGridexType.h"
#include "league/mLeagueVersion.h"
#include "run/History.h"
#include "run/SavedPotentials.h"

namespace tavrin::app {

namespace fs = std::filesystem;

namespace {

// One player as the report shows him, from the plain bytes of his record.
struct ShownPlayer {
    std::int64_t slot = 0;
    int pidA = 0, pidB = 0;
    std::string firstName, lastName;  // UTF-8, up to the first NUL
    int position = 0, years = 0;
    std::array<int, 8> act{}, pot{};
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
    Write(out, "  Slot  PID      First name     Last name      Pos Yrs " + codes + " " + codes + "\n");
}

void WriteTableRow(std::FILE* out, const ShownPlayer& p) {
    std::string pid = std::to_string(p.pidA) + "/" + std::to_string(p.pidB);
    pid.append(pid.size() < 7 ? 7 - pid.size() : 0, ' ');
    Write(out, Right(std::to_string(p.slot), 6) + "  " + pid + "  " + TableName(p.firstName) + "  " +
                   TableName(p.lastName) + Right(std::to_string(p.position), 5) + Right(std::to_string(p.years), 4) +
                   " " + Ratings(p.act) + " " + Ratings(p.pot) + "\n");
}

// --- Comma-separated values (RFC 4180) ---

// A field in quotes where it holds a comma, a quote or a line break, its
// quotes doubled; a name keeps every character it has.
std::string CsvField(const std::string& text) {
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
    Write(out, line + "\n");
}

void WriteCsvRow(std::FILE* out, const ShownPlayer& p) {
    std::string line = std::to_string(p.slot) + "," + std::to_string(p.pidA) + "," + std::to_string(p.pidB) + "," +
                       CsvField(p.firstName) + "," + CsvField(p.lastName) + "," + std::to_string(p.position) + "," +
                       std::to_string(p.years);
    for (const int v : p.act) line += "," + std::to_string(v);
    for (const int v : p.pot) line += "," + std::to_string(v);
    Write(out, line + "\n");
}

// --- The notes ---

std::string FileName(const fs::path& p) { return PathText(p.filename()); }

// Whether the potentials are still the hidden ones, from the note the last
// Hide or Randomize run left in the .pot.
std::string PotentialsNote(const ProgramState& state) {
    std::error_code ec;
    const std::string pyr = FileName(state.sPyrPath), pot = FileName(state.sPotPath);
    if (!fs::exists(state.sPotPath, ec))
        return "Potentials: " + pyr + " holds the league's own; there is no " + pot + " of an earlier run.";
    const auto note = run::ReadSavedNote(state.sPotPath);
    if (!note) return "Potentials: " + pot + " holds saved potentials, with no note of the run that saved them.";
    const std::string saved = note->operation + " on " + run::LocalTimeText(note->savedAt);
    if (!note->restoredAt.empty())
        return "Potentials: not hidden; those saved by " + saved + " were restored on " +
               run::LocalTimeText(note->restoredAt) + ".";
    if (run::IsStillHidden(*note, state.sPyrPath))
        return "Potentials: still hidden by " + saved + "; the true ones are in " + pot +
               " (tavrin restore brings them back).";
    return "Potentials: " + pyr + " changed since " + saved + " saved it; " + pot +
           " holds the potentials as they were before that run.";
}

void WriteNotes(std::FILE* notes, const fs::path& league, const ProgramState& state, const ImportedLeague& read) {
    Write(notes, std::to_string(read.players) + " players in " + PathText(state.sPyrPath) + " (a league of the " +
                     (read.kind == RecordKind::L02 ? "L02" : "L03") + " format).\n");
    Write(notes, PotentialsNote(state) + "\n");
    const run::History history(league);
    const auto entries = history.Entries();
    if (entries.empty()) {
        Write(notes, "History: nothing kept yet in " + PathText(history.Folder()) + ".\n");
        return;
    }
    Write(notes, "History: " + std::to_string(entries.size()) + (entries.size() == 1 ? " file" : " files") +
                     " kept in " + PathText(history.Folder()) + ", oldest first:\n");
    for (const auto& entry : entries) Write(notes, "  " + FileName(entry.file) + "\n");
}

}  // namespace

void WriteLeagueReport(const fs::path& league, ReportFormat format, std::FILE* out, std::FILE* notes) {
    // Checked first: reading the league's tag would create a missing file.
    std::error_code ec;
    const auto status = fs::status(league, ec);
    if (!fs::exists(status)) throw Refusal("The league file " + PathText(league) + " does not exist.");
    if (!fs::is_regular_file(status))
        throw Refusal("Cannot read the league file " + PathText(league) + ": it is not a regular file.");

    ProgramState state;
    SetLeaguePaths(state, league);
    ReadLeagueVersion(state, league);
    if (state.iLeagueVersion == kLeagueOther)
        throw Refusal(PathText(league) + " is not a league Tavrin knows: its header does not begin with \"L02:\" or "
                                         "\"L03:\".");
    const RecordKind kind = state.iLeagueVersion == kLeagueL02 ? RecordKind::L02 : RecordKind::L03;

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
        ReadPlayerFile(state.sPyrPath, kind, [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
            header();
            const ShownPlayer p = Decoded(slot, plain);
            if (format == ReportFormat::Table) WriteTableRow(out, p);
            else WriteCsvRow(out, p);
        });
    header();
    if (format == ReportFormat::Table) Write(out, "\n");
    WriteNotes(notes, league, state, read);
}

}  // namespace tavrin::app
