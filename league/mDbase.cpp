#include "league/mDbase.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <optional>

#include "db/Error.h"
#include "db/PlayersTable.h"
#include "db/mDBCreate.h"
#include "db/mDbEngine.h"
#include "league/Cp1252.h"
#include "league/QtFiles.h"
#include "league/ReplacingFile.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// Records are read and written this many at a time: few system calls, and a
// buffer of a few hundred kilobytes whatever the size of the league.
constexpr qint64 kChunkRecords = 4096;

constexpr std::string_view kLoadingLeague = "Loading League";
constexpr std::string_view kSaving = "Saving";

// Reads exactly `bytes` bytes or fails naming the file.
void ReadExactly(QFile& file, const fs::path& p, std::uint8_t* into, qint64 bytes) {
    qint64 done = 0;
    while (done < bytes) {
        const qint64 got = file.read(reinterpret_cast<char*>(into) + done, bytes - done);
        if (got < 0) ThrowFileError("read", p, file);
        if (got == 0)
            throw Error(kErrFileAccess, "Cannot read " + PathText(p) + ": the file ended early; it changed while Tavrin read it");
        done += got;
    }
}

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

// The player file, checked and opened, read a chunk of records at a time.
class RecordReader {
public:
    RecordReader(const fs::path& path, RecordKind kind)
        : path_(path), length_(static_cast<qint64>(RecordLength(kind))), file_(ToQString(path)) {
        // A missing file, anything but a regular file (a folder, a pipe that
        // would never end), or one too short for its header, is refused
        // before it is opened.
        std::error_code ec;
        const auto status = fs::status(path, ec);
        if (!fs::exists(status))
            throw Refusal("Cannot load the league: its player file " + PathText(path) +
                          " does not exist.\n\nNo file was changed.");
        if (!fs::is_regular_file(status))
            throw Refusal("Cannot load the league: " + PathText(path) +
                          " is not a player file (not a regular file).\n\nNo file was changed.");
        stamp_ = StampOf(path);
        if (stamp_.size < static_cast<std::uintmax_t>(length_))
            throw Refusal("Cannot load the league: its player file " + PathText(path) + " holds " +
                          std::to_string(stamp_.size) + " bytes, too few for its " + std::to_string(length_) +
                          "-byte header record.\n\nNo file was changed.");
        if (!file_.open(QIODevice::ReadOnly)) ThrowFileError("open", path, file_);
        // Records in the file, the header included (a 32-bit count, remainder dropped).
        count_ = static_cast<std::int32_t>(static_cast<qint64>(stamp_.size) / length_);
        chunk_.resize(static_cast<std::size_t>(kChunkRecords * length_));
    }

    const FileStamp& Stamp() const { return stamp_; }
    std::int32_t Count() const { return count_; }
    qint64 Length() const { return length_; }

    void ReadHeader(std::vector<std::uint8_t>& header) {
        header.resize(static_cast<std::size_t>(length_));
        ReadExactly(file_, path_, header.data(), length_);
    }

    // The next chunk of whole records (none once every record is read).
    std::span<std::uint8_t> NextChunk() {
        const qint64 n = std::min<qint64>(count_ - 1 - read_, kChunkRecords);
        if (n <= 0) return {};
        ReadExactly(file_, path_, chunk_.data(), n * length_);
        read_ += n;
        return {chunk_.data(), static_cast<std::size_t>(n * length_)};
    }

    // The bytes after the last whole record.
    std::span<std::uint8_t> Trailing() {
        const qint64 n = static_cast<qint64>(stamp_.size) - static_cast<qint64>(count_) * length_;
        ReadExactly(file_, path_, chunk_.data(), n);
        return {chunk_.data(), static_cast<std::size_t>(n)};
    }

private:
    fs::path path_;
    qint64 length_;
    QFile file_;
    FileStamp stamp_;
    std::int32_t count_ = 0;
    qint64 read_ = 0;
    std::vector<std::uint8_t> chunk_;
};

constexpr std::size_t kPositionOffset = OffsetOf(Col::Position);

ImportedLeague ImportLeague(const ProgramState& state, const fs::path& sPyrPath, RecordKind kind) {
    // The player file is checked and opened first, so that one that cannot be
    // read costs the user no working database.
    RecordReader reader(sPyrPath, kind);
    ImportedLeague league;
    league.kind = kind;
    league.stamp = reader.Stamp();

    const fs::path dbPath = state.WorkingDatabasePath();
    CreateDatabaseFile(dbPath);
    CreatePlayersTable(dbPath, "Players");
    auto database = db::Database::OpenDatabase(dbPath);
    db::RowAppender& rs = database->OpenAppender("Players", LayoutColumns(kind));
    const PlayersColumns columns(rs.Fields());

    ProgressShowing showing(*state.progress);
    reader.ReadHeader(league.header);
    const double step = 100.0 / reader.Count();
    BuildKeyTable(league.tables, league.header[kHeaderStartOffset], league.header[kHeaderStepOffset]);

    const auto R = static_cast<std::size_t>(reader.Length());
    for (auto chunk = reader.NextChunk(); !chunk.empty(); chunk = reader.NextChunk()) {
        for (std::size_t at = 0; at < chunk.size(); at += R) {
            const std::uint8_t* stored = chunk.data() + at;
            if (kind == RecordKind::L02) {
                PlayerRecL02 record;
                std::memcpy(record.data(), stored, R);
                DecodePlayerL02(record, league.tables, rs, columns);
            } else {
                PlayerRecL03 record;
                std::memcpy(record.data(), stored, R);
                DecodePlayerL03(record, league.tables, rs, columns);
            }
            ++league.players;
            if (league.tables.iDecTable[stored[kPositionOffset]] < 15) ++league.saveable;
            state.progress->UpdateBar(kLoadingLeague, step);
        }
    }
    database->Close();
    return league;
}

// The save refuses, and leaves the player file alone, where a row cannot be
// written back as the game stores it.
[[noreturn]] void RefuseRow(const fs::path& sPyrPath, std::int64_t slot, const std::string& problem) {
    throw Refusal("Cannot save the league to " + PathText(sPyrPath) + ": the player in record " + std::to_string(slot) +
                  " " + problem + ".\n\nThe player file was not changed.");
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
void PlainRecordFromRow(const db::Cursor& row, PlayerRecL02& plain, const fs::path& sPyrPath, std::int64_t slot) {
    const auto name = [](int place) { return std::string(Name(kPlayerFieldsL02[static_cast<std::size_t>(place)].column)); };
    std::array<std::int64_t, kNumberPlaces.size()> numbers;
    if (!row.IntsIf(kNumberPlaces, numbers))
        for (const int place : kNumberPlaces)
            if (!row.IntIf(place)) RefuseRow(sPyrPath, slot, "has no number in " + name(place));
    for (std::size_t i = 0; i < kNumberPlaces.size(); ++i) {
        if (numbers[i] < 0 || numbers[i] > 255)
            RefuseRow(sPyrPath, slot, "has " + name(kNumberPlaces[i]) + " = " + std::to_string(numbers[i]) +
                                          ", which does not fit in one byte");
        plain[kPlayerFieldsL02[static_cast<std::size_t>(kNumberPlaces[i])].offset] = static_cast<std::uint8_t>(numbers[i]);
    }
    for (const int place : kNamePlaces) {
        const auto text = row.TextIf(place);
        if (!text) RefuseRow(sPyrPath, slot, "has no text in " + name(place));
        // Characters after the 13th are left out; a shorter name is NUL-padded.
        const std::size_t offset = kPlayerFieldsL02[static_cast<std::size_t>(place)].offset;
        switch (cp1252::Utf8ToBytes(*text, std::span(plain).subspan(offset, kNameLen))) {
            case cp1252::ToBytes::Done: break;
            case cp1252::ToBytes::NotUtf8: RefuseRow(sPyrPath, slot, "has a " + name(place) + " that is not valid text");
            case cp1252::ToBytes::NoByte:
                RefuseRow(sPyrPath, slot, "has a character in " + name(place) + " that the player file cannot hold");
        }
    }
}

}  // namespace

FileStamp StampOf(const fs::path& path) {
    std::error_code ec;
    FileStamp stamp;
    stamp.size = fs::file_size(path, ec);
    if (ec) ThrowFileError("read", path, QString::fromStdString(ec.message()));
    stamp.modified = fs::last_write_time(path, ec);
    if (ec) ThrowFileError("read", path, QString::fromStdString(ec.message()));
    return stamp;
}

void DecodePlayerL02(const PlayerRecL02& record, const CodeTables& tables, db::RowAppender& rs,
                     const PlayersColumns& columns) {
    PlayerRecL02 plain;
    DecodeRecord(record, plain, tables);
    rs.AddNew();
    SetColumns(kPlayerFieldsL02, plain, rs, columns);
    rs.Update();
}

void DecodePlayerL03(const PlayerRecL03& record, const CodeTables& tables, db::RowAppender& rs,
                     const PlayersColumns& columns) {
    PlayerRecL03 plain;
    DecodeRecord(record, plain, tables);
    rs.AddNew();
    SetColumns(kPlayerFieldsL02, plain, rs, columns);
    SetColumns(kPlayerFieldsL03Extra, plain, rs, columns);
    rs.Update();
}

ImportedLeague ImportLeagueL02(const ProgramState& state, const fs::path& sPyrPath) {
    return ImportLeague(state, sPyrPath, RecordKind::L02);
}

ImportedLeague ImportLeagueL03(const ProgramState& state, const fs::path& sPyrPath) {
    return ImportLeague(state, sPyrPath, RecordKind::L03);
}

ImportedLeague ReadPlayerFile(const fs::path& sPyrPath, RecordKind kind,
                              const std::function<void(std::int64_t, std::span<const std::uint8_t>)>& each) {
    RecordReader reader(sPyrPath, kind);
    ImportedLeague league;
    league.kind = kind;
    league.stamp = reader.Stamp();
    reader.ReadHeader(league.header);
    BuildKeyTable(league.tables, league.header[kHeaderStartOffset], league.header[kHeaderStepOffset]);
    const auto R = static_cast<std::size_t>(reader.Length());
    std::vector<std::uint8_t> plain(R);
    for (auto chunk = reader.NextChunk(); !chunk.empty(); chunk = reader.NextChunk()) {
        for (std::size_t at = 0; at < chunk.size(); at += R) {
            DecodeRecord(chunk.subspan(at, R), plain, league.tables);
            ++league.players;
            if (plain[kPositionOffset] < 15) ++league.saveable;
            each(league.players, plain);
        }
    }
    return league;
}

SaveResult SaveLeagueL02(const ProgramState& state, const ImportedLeague& league, const fs::path& sPyrPath,
                         const SaveOptions& options) {
    constexpr auto R = static_cast<qint64>(kRecordLenL02);
    if (league.kind != RecordKind::L02 || league.header.size() != kRecordLenL02)
        throw Error(kErrEngine, "Only a league of 51-byte records can be saved");
    if (league.saveable == 0)
        throw Refusal("Cannot save the league to " + PathText(sPyrPath) +
                      ": no player in it has a position below 15, so there is nothing to write.\n\n"
                      "The player file was not changed.");
    const auto changedSince = [&] {
        throw Refusal("Cannot save the league to " + PathText(sPyrPath) +
                      ": the file changed since Tavrin loaded it (did the game save it meanwhile?).\n\n"
                      "The player file keeps its new contents; run Tavrin on it again.");
    };
    if (StampOf(sPyrPath) != league.stamp) changedSince();
    const double step = 100.0 / static_cast<double>(league.saveable);

    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath(), db::Database::Mode::ReadOnly);
    auto rows = database->OpenCursor({"Players", {{"Position", db::Condition::Op::Less, 15}}, LayoutColumns(league.kind)});

    RecordReader in(sPyrPath, RecordKind::L02);
    std::optional<ReplacingFile> out;
    if (!options.dryRun) out.emplace(sPyrPath);
    const auto write = [&](const std::uint8_t* data, qint64 bytes) {
        if (out) out->Write(data, bytes);
    };

    ProgressShowing showing(*state.progress);

    // The header goes back exactly as the import read it.
    std::vector<std::uint8_t> header;
    in.ReadHeader(header);
    write(league.header.data(), R);

    // Each row goes back to the slot it was read from: the import adds rows
    // in file order, so rowid k is slot k. Slots without a row (players whose
    // Position is 15 or more) keep their bytes, and no record moves.
    SaveResult result;
    ChangedPlayer change;
    PlayerRecL02 stored;
    bool onRow = rows->Next();
    std::int64_t slot = 1;
    for (auto chunk = in.NextChunk(); !chunk.empty(); chunk = in.NextChunk()) {
        for (std::size_t at = 0; at < chunk.size(); at += kRecordLenL02, ++slot) {
            if (!onRow || rows->RowId() != slot) continue;
            state.progress->UpdateBar(kSaving, step);
            PlainRecordFromRow(*rows, change.after, sPyrPath, slot);
            EncodeRecord(change.after, stored, league.tables);
            if (std::memcmp(chunk.data() + at, stored.data(), kRecordLenL02) != 0) {
                ++result.changed;
                if (options.onChanged) {
                    change.slot = slot;
                    DecodeRecord(chunk.subspan(at, kRecordLenL02), change.before, league.tables);
                    options.onChanged(change);
                }
                std::memcpy(chunk.data() + at, stored.data(), kRecordLenL02);
            }
            ++result.written;
            onRow = rows->Next();
        }
        write(chunk.data(), static_cast<qint64>(chunk.size()));
        if (onRow && rows->RowId() < slot)
            throw Error(kErrEngine, "Cannot save the league to " + PathText(sPyrPath) +
                                        ": the working database's rows are not in file order");
    }
    if (onRow || result.written != league.saveable)
        throw Error(kErrEngine, "Cannot save the league to " + PathText(sPyrPath) +
                                    ": the working database no longer matches the player file it was loaded from");

    // Bytes after the last whole record belong to no record and stay as they are.
    const auto trailing = in.Trailing();
    write(trailing.data(), static_cast<qint64>(trailing.size()));

    if (out) {
        if (StampOf(sPyrPath) != league.stamp) changedSince();
        out->Commit(options.keepReplacedAs);
    }
    database->Close();
    return result;
}

void CopyWorkingDatabase(const ProgramState& state, const fs::path& sPotPath, const fs::path& keepReplacedAs) {
    CopyFileReplacing(state.WorkingDatabasePath(), sPotPath, keepReplacedAs);
}

}  // namespace tavrin
