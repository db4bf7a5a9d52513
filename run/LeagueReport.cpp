#include "run/LeagueReport.h"

#include "base/Error.h"
#include "league/PlayersTable.h"
#include "league/Clock.h"
#include "league/FormatTag.h"
#include "league/RecordLayout.h"
#include "run/LeagueFiles.h"
#include "run/Messages.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

ReportedPlayer Decoded(std::int64_t slot, std::span<const std::uint8_t> plain) {
    ReportedPlayer p;
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

// Tavrin's where some potential in the file is his and not the true one:
// hidden where each such is 0.
Whose WhoseOf(const SavedRow& row, const Potentials& now) {
    const Judgement j = Judge(row, now, false);
    bool differs = false, allZero = true;
    for (std::size_t a = 0; a < now.size(); ++a)
        if ((j.tavrins >> a & 1) && now[a] != j.truth[a]) {
            differs = true;
            allZero = allZero && now[a] == 0;
        }
    return !differs ? Whose::True : allZero ? Whose::Hidden : Whose::Randomized;
}

}  // namespace

LeagueReport ReportLeague(const fs::path& league, const std::function<void(const ReportedPlayer&)>& each) {
    CheckLeagueFile(league);
    LeagueReport report;
    report.paths = LeaguePaths::Of(league);
    std::string tag;
    const LeagueFormat format = ReadFormatTag(league, &tag);
    if (format == LeagueFormat::Unknown) throw Refusal(NotALeagueText(league, tag));
    report.kind = format == LeagueFormat::L02 ? RecordKind::L02 : RecordKind::L03;
    std::error_code ec;
    report.potExists = fs::exists(fs::symlink_status(report.paths.potFile, ec));

    // First whose each player's potentials are: a player the game moved is
    // found only once every record has been read.
    std::vector<Whose> whose;
    std::vector<bool> matched;
    std::optional<SavedTruth> saved;
    std::string fingerprint;
    if (report.kind == RecordKind::L02 && report.potExists) {
        try {
            saved.emplace(report.paths.potFile, SavedTruth::Rows::Recorded);
            report.saved = saved->Run();
            fingerprint = ReadPlayerFile(report.paths.playerFile, report.kind,
                                         [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
                                             const SavedTruth::FilePlayer player{
                                                 slot, plain[OffsetOf(Col::PID_a)], plain[OffsetOf(Col::PID_b)],
                                                 NamesKey(plain), PotentialsOf(plain)};
                                             const SavedRow* row = saved->Match(player);
                                             whose.push_back(row ? WhoseOf(*row, player.now) : Whose::True);
                                             matched.push_back(row != nullptr);
                                         })
                              .fingerprint;
            // Players the game moved: a second pass for those whose identity a
            // saved row left over has.
            std::vector<SavedTruth::FilePlayer> left;
            if (saved->AnyLeft())
                ReadPlayerFile(report.paths.playerFile, report.kind, [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
                    if (matched[static_cast<std::size_t>(slot - 1)]) return;
                    const std::uint8_t a = plain[OffsetOf(Col::PID_a)], b = plain[OffsetOf(Col::PID_b)];
                    if (saved->LeftWith(std::size_t{a} * 256 + b))
                        left.push_back({slot, a, b, NamesKey(plain), PotentialsOf(plain)});
                });
            saved->MatchMoved(left, [&](const SavedTruth::FilePlayer& player, const SavedRow& row) {
                whose[static_cast<std::size_t>(player.slot - 1)] = WhoseOf(row, player.now);
            });
        } catch (const UnreadableSavedPotentials& e) {
            report.potProblem = e.what();
            report.saved.reset();
            whose.clear();
            fingerprint.clear();
        }
    }

    const ImportedLeague read =
        ReadPlayerFile(report.paths.playerFile, report.kind, [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
            ReportedPlayer p = Decoded(slot, plain);
            const auto i = static_cast<std::size_t>(slot - 1);
            if (report.potProblem) p.potentials = Whose::Unknown;
            else if (i < whose.size()) p.potentials = whose[i];
            ++report.counts[static_cast<std::size_t>(p.potentials)];
            each(p);
        });
    if (!fingerprint.empty() && read.fingerprint != fingerprint)
        throw Error("Cannot read " + PathText(report.paths.playerFile) +
                    ": the file changed while Tavrin read it (did the game save it meanwhile?)");
    report.players = read.players;
    const History history(report.paths.league);
    report.historyFolder = history.Folder();
    report.runs = history.Runs();
    return report;
}

std::string PotentialsNote(const LeagueReport& r) {
    const std::string pyr = FileName(r.paths.playerFile), pot = FileName(r.paths.potFile);
    if (!r.potExists)
        return "Potentials: every player's in " + pyr + " are his true ones; there is no " + pot + " of an earlier run.";
    if (r.potProblem)
        return "Potentials: " + pot + " cannot be read completely (" + *r.potProblem +
               "), so Tavrin cannot tell whose the potentials in " + pyr + " are.";
    const std::string by = r.saved ? " by " + r.saved->operation + " on " + LocalTimeText(r.saved->savedAt) : "";
    const std::int64_t hidden = r.counts[static_cast<std::size_t>(Whose::Hidden)];
    const std::int64_t randomized = r.counts[static_cast<std::size_t>(Whose::Randomized)];
    if (hidden + randomized == 0)
        return "Potentials: every player's in " + pyr + " are his true ones; " + pot + " holds them as saved" + by + ".";
    return "Potentials: " + std::to_string(hidden) + " players have hidden potentials and " +
           std::to_string(randomized) + " randomized ones" + by + "; their true ones are in " + pot +
           " (tavrin restore brings them back).";
}

}  // namespace tavrin::run
