#include "cli/PlayersListing.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "league/PlayersTable.h"
#include "league/Clock.h"
#include "league/Cp1252.h"
#include "league/RecordLayout.h"
#include "run/LeagueReport.h"
#include "run/Messages.h"

namespace tavrin::cli {

namespace fs = std::filesystem;

namespace {

using run::ReportedPlayer;
using run::kWhoseWords;

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

void WriteTableRow(std::FILE* out, const ReportedPlayer& p) {
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

void WriteCsvRow(std::FILE* out, const ReportedPlayer& p) {
    std::string line = std::to_string(p.slot) + "," + std::to_string(p.pidA) + "," + std::to_string(p.pidB) + "," +
                       CsvField(p.firstName) + "," + CsvField(p.lastName) + "," + std::to_string(p.position) + "," +
                       std::to_string(p.years);
    for (const int v : p.act) line += "," + std::to_string(v);
    for (const int v : p.pot) line += "," + std::to_string(v);
    Write(out, line + "," + std::string(kWhoseWords[static_cast<std::size_t>(p.potentials)]) + "\n");
}

// --- The notes ---

void WriteNotes(std::FILE* notes, const run::LeagueReport& report) {
    Write(notes, std::to_string(report.players) + " players in " + PathText(report.paths.playerFile) +
                     " (a league of the " + (report.kind == RecordKind::L02 ? "L02" : "L03") + " format).\n");
    Write(notes, run::PotentialsNote(report) + "\n");
    const std::string kept = "History: " + run::RunsKeptText(report.runs.size(), report.historyFolder);
    if (report.runs.empty()) {
        Write(notes, kept + ".\n");
        return;
    }
    Write(notes, kept + ", oldest first:\n");
    for (const auto& run : report.runs)
        Write(notes, "  " + std::to_string(run.number) + "  " + LocalTimeText(run.time) + "  " + run.summary + "\n");
}

}  // namespace

void WriteLeagueReport(const fs::path& league, ReportFormat format, std::FILE* out, std::FILE* notes) {
    // The header waits for the player file to be found readable: a refusal
    // leaves standard output empty.
    bool headed = false;
    const auto header = [&] {
        if (headed) return;
        headed = true;
        if (format == ReportFormat::Table) WriteTableHeader(out);
        else WriteCsvHeader(out);
    };
    const run::LeagueReport report = run::ReportLeague(league, [&](const ReportedPlayer& p) {
        header();
        if (format == ReportFormat::Table) WriteTableRow(out, p);
        else WriteCsvRow(out, p);
    });
    header();
    if (format == ReportFormat::Table) Write(out, "\n");
    WriteNotes(notes, report);
}

}  // namespace tavrin::cli
