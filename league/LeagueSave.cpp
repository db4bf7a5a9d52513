#include "league/LeagueSave.h"

#include <cstring>
#include <optional>

#include "base/Error.h"
#include "db/Database.h"
#include "league/WorkingDatabase.h"
#include "league/Cp1252.h"
#include "league/PlayersTable.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSaving = "Saving";

// The save refuses, and leaves the player file alone, where a row cannot be
// written back as the game stores it.
[[noreturn]] void RefuseRow(const fs::path& pyr, std::int64_t slot, const std::string& problem) {
    throw Refusal("Cannot save the league to " + PathText(pyr) + ": the player in record " + std::to_string(slot) +
                  " " + problem + ".");
}

// The places, among the layout's columns, of its numbers and of its names.
template <bool kNames>
constexpr auto LayoutPlaces() {
    constexpr std::size_t kCount = [] {
        std::size_t n = 0;
        for (const FieldLayout& f : kPlayerFieldsL02) n += (f.stored == Stored::Name) == kNames;
        return n;
    }();
    std::array<int, kCount> places{};
    for (std::size_t c = 0, n = 0; c < kPlayerFieldsL02.size(); ++c)
        if ((kPlayerFieldsL02[c].stored == Stored::Name) == kNames) places[n++] = static_cast<int>(c);
    return places;
}
constexpr auto kNumberPlaces = LayoutPlaces<false>();
constexpr auto kNamePlaces = LayoutPlaces<true>();

// Fills the plain bytes of one L02 record from the cursor's row, whose
// columns are the layout's, in its order: every value read once.
void PlainRecordFromRow(const db::Cursor& row, PlayerRecL02& plain, const fs::path& pyr, std::int64_t slot) {
    const auto name = [](int place) { return std::string(Name(kPlayerFieldsL02[static_cast<std::size_t>(place)].column)); };
    std::array<std::int64_t, kNumberPlaces.size()> numbers;
    if (!row.IntsIf(kNumberPlaces, numbers))
        for (const int place : kNumberPlaces)
            if (!row.IntIf(place)) RefuseRow(pyr, slot, "has no number in " + name(place));
    for (std::size_t i = 0; i < kNumberPlaces.size(); ++i) {
        if (numbers[i] < 0 || numbers[i] > 255)
            RefuseRow(pyr, slot, "has " + name(kNumberPlaces[i]) + " = " + std::to_string(numbers[i]) +
                                          ", which does not fit in one byte");
        plain[kPlayerFieldsL02[static_cast<std::size_t>(kNumberPlaces[i])].offset] = static_cast<std::uint8_t>(numbers[i]);
    }
    for (const int place : kNamePlaces) {
        const auto text = row.TextIf(place);
        if (!text) RefuseRow(pyr, slot, "has no text in " + name(place));
        // Characters after the 13th are left out; a shorter name is NUL-padded.
        const std::size_t offset = kPlayerFieldsL02[static_cast<std::size_t>(place)].offset;
        switch (cp1252::Utf8ToBytes(*text, std::span(plain).subspan(offset, kNameLen))) {
            case cp1252::ToBytes::Done: break;
            case cp1252::ToBytes::NotUtf8: RefuseRow(pyr, slot, "has a " + name(place) + " that is not valid text");
            case cp1252::ToBytes::NoByte:
                RefuseRow(pyr, slot, "has a character in " + name(place) + " that the player file cannot hold");
        }
    }
}

}  // namespace

SaveResult SaveLeague(const ProgramState& state, const ImportedLeague& league, platform::File* out,
                         const SaveOptions& options) {
    constexpr std::size_t R = kRecordLenL02;
    const fs::path& pyr = league.file;
    if (league.kind != RecordKind::L02 || league.header.size() != R)
        throw Error("Only a league of 51-byte records can be saved");
    if (league.saveable == 0)
        throw Refusal("Cannot save the league to " + PathText(pyr) +
                      ": no player in it has a position below " +
                      std::to_string(kOutOfLineupPosition) + ", so there is nothing to write.");
    // The file it replaces must be the very one the import read (bytes in
    // memory are read again from where they are).
    std::optional<RecordReader> source;
    if (league.memory.data()) {
        source.emplace(league.memory, pyr, RecordKind::L02);
    } else {
        source.emplace(pyr, RecordKind::L02);
        if (!source->Info().Unchanged(league.read)) RefuseChangedSinceLoaded(pyr);
    }
    RecordReader& in = *source;
    const double step = 100.0 / static_cast<double>(league.saveable);

    auto database = OpenWorkingDatabase(state, db::Database::Mode::ReadOnly);
    auto rows = database->OpenCursor({"Players", {{"Position", db::Condition::Op::Less, kOutOfLineupPosition}}, LayoutColumns(league.kind)});

    Fingerprint written;
    const auto write = [&](std::span<const std::uint8_t> bytes) {
        written.Add(bytes);
        if (out) out->Write(bytes);
    };

    ProgressShowing showing(*state.progress);

    // The header goes back exactly as the import read it.
    std::vector<std::uint8_t> header;
    in.ReadHeader(header);
    write(league.header);

    // Each row goes back to the slot it was read from: the import adds rows
    // in file order, so rowid k is slot k. Slots without a row (players whose
    // Position is 15 or more) keep their bytes, and no record moves.
    SaveResult result;
    SavedPlayer player;
    PlayerRecL02 stored;
    bool onRow = rows->Next();
    std::int64_t slot = 1;
    for (auto chunk = in.NextChunk(); !chunk.empty(); chunk = in.NextChunk()) {
        for (std::size_t at = 0; at < chunk.size(); at += R, ++slot) {
            const std::span<std::uint8_t> old = chunk.subspan(at, R);
            const bool reported = options.report && options.report(slot);
            if (!onRow || rows->RowId() != slot) {
                if (reported && options.onPlayer) {
                    DecodeRecord(old, player.after, league.tables);
                    player = {slot, player.after, player.after, false};
                    options.onPlayer(player);
                }
                continue;
            }
            state.progress->UpdateBar(kSaving, step);
            PlainRecordFromRow(*rows, player.after, pyr, slot);
            EncodeRecord(player.after, stored, league.tables);
            player.changed = std::memcmp(old.data(), stored.data(), R) != 0;
            if (options.onPlayer && (player.changed || reported)) {
                player.slot = slot;
                DecodeRecord(old, player.before, league.tables);
                options.onPlayer(player);
            }
            if (player.changed) {
                ++result.changed;
                std::memcpy(old.data(), stored.data(), R);
            }
            ++result.written;
            onRow = rows->Next();
        }
        write(chunk);
        if (onRow && rows->RowId() < slot)
            throw Error("Cannot save the league to " + PathText(pyr) +
                                        ": the working database's rows are not in file order");
    }
    if (onRow || result.written != league.saveable)
        throw Error("Cannot save the league to " + PathText(pyr) +
                                    ": the working database no longer matches the player file it was loaded from");

    // Bytes after the last whole record belong to no record and stay as they are.
    write(in.Trailing());
    database->Close();
    result.fingerprint = written.Text();
    return result;
}

}  // namespace tavrin
