#include "league/PlayerFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/Error.h"
#include "league/PlayersTable.h"
#include "league/WorkingDatabase.h"
#include "db/Database.h"
#include "league/Cp1252.h"
#include "platform/Fingerprint.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// Records are read and written this many at a time: few system calls, and a
// buffer of a few hundred kilobytes whatever the size of the league.
constexpr std::size_t kChunkRecords = 4096;

constexpr std::string_view kLoadingLeague = "Loading League";

// The most player records a file may hold. A player's identity is two bytes,
// so a league of the game has at most 65,536 players; sixteen times that
// leaves room for leagues whose identities repeat (our benchmark's
// 1,000,000 players), and refuses at once a file of gigabytes that would
// fill the working folder's disk before it was loaded.
constexpr std::uint64_t kMaxRecords = std::uint64_t{1} << 20;
constexpr std::string_view kSaving = "Saving";

// The Players columns of a record kind's layout, in layout order: what the
// import adds and the save reads.
std::vector<std::string> LayoutColumns(RecordKind kind) {
    std::vector<std::string> names;
    for (const FieldLayout& f : kPlayerFieldsL02) names.emplace_back(Name(f.column));
    if (kind == RecordKind::L03)
        for (const FieldLayout& f : kPlayerFieldsL03Extra) names.emplace_back(Name(f.column));
    return names;
}

// Sets the row's columns from the plain record bytes, in the layout's order.
template <std::size_t N>
void SetColumns(const std::array<FieldLayout, N>& layout, std::span<const std::uint8_t> plain, db::RowAppender& rs,
                const PlayersColumns& columns) {
    thread_local std::string text;  // its buffer serves every name of every row
    for (const FieldLayout& f : layout) {
        if (f.stored == Stored::Name) {
            // Nothing is trimmed: the NUL padding is part of the name's 13 characters.
            cp1252::BytesToUtf8({reinterpret_cast<const char*>(plain.data() + f.offset), kNameLen}, text);
            rs.SetField(columns[f.column], std::string_view(text));
        } else {
            rs.SetField(columns[f.column], std::int64_t{plain[f.offset]});
        }
    }
}

// The player file, checked and opened, read a chunk of records at a time,
// its fingerprint taken of every byte on the way.
class RecordReader {
public:
    RecordReader(const fs::path& path, RecordKind kind) : path_(path), length_(RecordLength(kind)) {
        // A missing file, anything but a regular file (a folder, a pipe that
        // would never end, a link), or one too short for its header, is
        // refused before it is opened.
        const platform::Folder folder = platform::Folder::Open(path.parent_path());
        const fs::path name = path.filename();
        info_ = folder.Info(name);
        if (!info_.Exists())
            throw Refusal("Cannot load the league: its player file " + PathText(path) +
                          " does not exist.");
        if (info_.kind != platform::Kind::Regular)
            throw Refusal("Cannot load the league: " + PathText(path) +
                          " is not a player file (not a regular file).");
        if (info_.size < length_)
            throw Refusal("Cannot load the league: its player file " + PathText(path) + " holds " +
                          std::to_string(info_.size) + " bytes, too few for its " + std::to_string(length_) +
                          "-byte header record.");
        if (info_.size > (kMaxRecords + 1) * length_)
            throw Refusal("Cannot load the league: its player file " + PathText(path) + " holds " +
                          std::to_string(info_.size) + " bytes, more than any league: Tavrin reads at most " +
                          std::to_string(kMaxRecords) + " player records (" +
                          std::to_string((kMaxRecords + 1) * length_) + " bytes of " + std::to_string(length_) +
                          "-byte records).");
        file_ = folder.OpenToRead(name);
        // What was checked is what was opened.
        const platform::FileInfo opened = file_.Info();
        if (!opened.Unchanged(info_)) RefuseChangedSinceLoaded(path);
        // Records in the file, the header included (a 32-bit count, remainder dropped).
        count_ = static_cast<std::int32_t>(info_.size / length_);
        chunk_.resize(kChunkRecords * length_);
    }

    const platform::FileInfo& Info() const { return info_; }
    std::int32_t Count() const { return count_; }
    std::size_t Length() const { return length_; }
    std::string Fingerprint() const { return fingerprint_.Text(); }

    void ReadHeader(std::vector<std::uint8_t>& header) {
        header.resize(length_);
        ReadExactly(header);
    }

    // The next chunk of whole records (none once every record is read).
    std::span<std::uint8_t> NextChunk() {
        const std::int64_t n = std::min<std::int64_t>(count_ - 1 - read_, kChunkRecords);
        if (n <= 0) return {};
        read_ += n;
        return ReadExactly(std::span(chunk_).first(static_cast<std::size_t>(n) * length_));
    }

    // The bytes after the last whole record.
    std::span<std::uint8_t> Trailing() {
        return ReadExactly(std::span(chunk_).first(info_.size - static_cast<std::size_t>(count_) * length_));
    }

private:
    std::span<std::uint8_t> ReadExactly(std::span<std::uint8_t> into) {
        if (file_.Read(into) != into.size())
            throw Error("Cannot read " + PathText(path_) +
                                            ": the file ended early; it changed while Tavrin read it");
        fingerprint_.Add(into);
        return into;
    }

    fs::path path_;
    std::size_t length_;
    platform::File file_;
    platform::FileInfo info_;
    std::int32_t count_ = 0;
    std::int64_t read_ = 0;
    std::vector<std::uint8_t> chunk_;
    tavrin::Fingerprint fingerprint_;
};

constexpr std::size_t kPositionOffset = OffsetOf(Col::Position);

ImportedLeague Imported(RecordKind kind, const fs::path& pyr, RecordReader& reader) {
    ImportedLeague league;
    league.kind = kind;
    league.file = pyr;
    league.read = reader.Info();
    reader.ReadHeader(league.header);
    BuildTables(league.tables, league.header[kHeaderStartOffset], league.header[kHeaderStepOffset]);
    return league;
}

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

ImportedLeague ImportLeague(const ProgramState& state, const fs::path& pyr, RecordKind kind, const RecordHook& hook) {
    // The player file is checked and opened first, so that one that cannot be
    // read costs the user no working database.
    RecordReader reader(pyr, kind);

    const fs::path dbPath = state.WorkingDatabasePath();
    CreateDatabaseFile(dbPath);
    CreatePlayersTable(dbPath, "Players");
    auto database = db::Database::OpenDatabase(dbPath);
    db::RowAppender& rs = database->OpenAppender("Players", LayoutColumns(kind));
    const PlayersColumns columns(rs.Fields());

    ProgressShowing showing(*state.progress);
    ImportedLeague league = Imported(kind, pyr, reader);
    const double step = 100.0 / reader.Count();

    const std::size_t R = reader.Length();
    std::array<std::uint8_t, kRecordLenL03> plain{};
    const std::span<std::uint8_t> record = std::span(plain).first(R);
    for (auto chunk = reader.NextChunk(); !chunk.empty(); chunk = reader.NextChunk()) {
        for (std::size_t at = 0; at < chunk.size(); at += R) {
            DecodeRecord(chunk.subspan(at, R), record, league.tables);
            ++league.players;
            if (record[kPositionOffset] < 15) ++league.saveable;
            if (hook) hook(league.players, record);
            rs.AddNew();
            SetColumns(kPlayerFieldsL02, record, rs, columns);
            if (kind == RecordKind::L03) SetColumns(kPlayerFieldsL03Extra, record, rs, columns);
            rs.Update();
            state.progress->UpdateBar(kLoadingLeague, step);
        }
    }
    reader.Trailing();  // for the fingerprint of the whole file
    league.fingerprint = reader.Fingerprint();
    database->Close();
    return league;
}

ImportedLeague ReadPlayerFile(const fs::path& pyr, RecordKind kind,
                              const std::function<void(std::int64_t, std::span<const std::uint8_t>)>& each) {
    RecordReader reader(pyr, kind);
    ImportedLeague league = Imported(kind, pyr, reader);
    const std::size_t R = reader.Length();
    std::vector<std::uint8_t> plain(R);
    for (auto chunk = reader.NextChunk(); !chunk.empty(); chunk = reader.NextChunk()) {
        for (std::size_t at = 0; at < chunk.size(); at += R) {
            DecodeRecord(chunk.subspan(at, R), plain, league.tables);
            ++league.players;
            each(league.players, plain);
        }
    }
    reader.Trailing();
    league.fingerprint = reader.Fingerprint();
    return league;
}

void RefuseChangedSinceLoaded(const fs::path& pyr) {
    throw Refusal("Cannot save the league to " + PathText(pyr) +
                  ": the file changed since Tavrin loaded it (did the game save it meanwhile?). "
                  "It keeps the game's contents; run Tavrin on it again.");
}

SaveResult SaveLeague(const ProgramState& state, const ImportedLeague& league, platform::File* out,
                         const SaveOptions& options) {
    constexpr std::size_t R = kRecordLenL02;
    const fs::path& pyr = league.file;
    if (league.kind != RecordKind::L02 || league.header.size() != R)
        throw Error("Only a league of 51-byte records can be saved");
    if (league.saveable == 0)
        throw Refusal("Cannot save the league to " + PathText(pyr) +
                      ": no player in it has a position below 15, so there is nothing to write.");
    // The file it replaces must be the very one the import read.
    RecordReader in(pyr, RecordKind::L02);
    if (!in.Info().Unchanged(league.read)) RefuseChangedSinceLoaded(pyr);
    const double step = 100.0 / static_cast<double>(league.saveable);

    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath(), db::Database::Mode::ReadOnly);
    auto rows = database->OpenCursor({"Players", {{"Position", db::Condition::Op::Less, 15}}, LayoutColumns(league.kind)});

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

SaveResult SaveLeagueInPlace(const ProgramState& state, const ImportedLeague& league, const SaveOptions& options) {
    const platform::Folder folder = platform::Folder::Open(league.file.parent_path());
    fs::path name = league.file.filename(), newName = name;
    newName += ".tavrin-new";
    folder.Remove(newName);
    std::optional<platform::File> out = folder.CreateNew(newName);
    if (!out) throw Error("Cannot write " + PathText(folder.PathOf(newName)) + ": the name is taken");
    try {
        const SaveResult result = SaveLeague(state, league, &*out, options);
        out->TakeOwnerAndPermissionsOf(folder.Info(name));
        out->Sync();
        out->Close();
        folder.Rename(newName, folder, name);
        return result;
    } catch (...) {
        folder.Remove(newName);
        throw;
    }
}

void CopyWorkingDatabase(const ProgramState& state, platform::File& to) {
    const fs::path working = state.WorkingDatabasePath();
    platform::File from = platform::Folder::Open(working.parent_path()).OpenToRead(working.filename());
    to.AppendCopyOf(from);
}

}  // namespace tavrin
