#include "mDbase.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "Cp1252.h"
#include "QtFiles.h"
#include "mDBCreate.h"
#include "mDbEngine.h"

namespace tavrin {

namespace {

// Records are read and written this many at a time: few system calls, and a
// buffer of a few hundred kilobytes whatever the size of the league.
constexpr qint64 kChunkRecords = 4096;

constexpr std::string_view kLoadingLeague = "Loading League";
constexpr std::string_view kSaving = "Saving";

std::string Quoted(const std::filesystem::path& p) { return PathText(p); }

// Reads exactly `bytes` bytes or fails naming the file.
void ReadExactly(QFile& file, const std::filesystem::path& p, std::uint8_t* into, qint64 bytes) {
    qint64 done = 0;
    while (done < bytes) {
        const qint64 got = file.read(reinterpret_cast<char*>(into) + done, bytes - done);
        if (got < 0) ThrowFileError("read", p, file);
        if (got == 0)
            throw Error(kErrFileAccess, "Cannot read " + Quoted(p) + ": the file ended early; it changed while Tavrin read it");
        done += got;
    }
}

void WriteAll(QFileDevice& file, const std::filesystem::path& p, const std::uint8_t* from, qint64 bytes) {
    if (file.write(reinterpret_cast<const char*>(from), bytes) != bytes) ThrowFileError("write", p, file);
}

// The positions of the layout's columns in a recordset, looked up once per
// recordset rather than once per player.
template <std::size_t N>
class LayoutColumns {
public:
    const std::array<int, N>& Of(const db::Recordset& rs, const std::array<FieldLayout, N>& layout) {
        if (serial_ != rs.Serial()) {
            for (std::size_t i = 0; i < N; ++i) index_[i] = rs.FieldIndex(layout[i].column);
            serial_ = rs.Serial();
        }
        return index_;
    }

private:
    std::uint64_t serial_ = 0;
    std::array<int, N> index_{};
};

// Sets the row's columns from the plain record bytes, in the layout's order.
template <std::size_t N>
void SetColumns(const std::array<FieldLayout, N>& layout, std::span<const std::uint8_t> plain, db::Recordset& rs) {
    thread_local LayoutColumns<N> columns;
    const std::array<int, N>& index = columns.Of(rs, layout);
    for (std::size_t c = 0; c < N; ++c) {
        const FieldLayout& f = layout[c];
        if (f.stored == Stored::Name) {
            // Nothing is trimmed: the NUL padding is part of the name's 13 characters.
            const std::string_view bytes(reinterpret_cast<const char*>(plain.data() + f.offset), kNameLen);
            thread_local std::string text;
            cp1252::BytesToUtf8(bytes, text);
            rs.SetField(index[c], std::string_view(text));
        } else {
            rs.SetField(index[c], std::int64_t{plain[f.offset]});
        }
    }
}

// A player file that is missing, or too short to hold its header record, is
// refused before anything is opened or created.
qint64 CheckPlayerFile(const std::filesystem::path& sPyrPath, std::size_t recordLen) {
    std::error_code ec;
    const auto status = std::filesystem::status(sPyrPath, ec);
    if (!std::filesystem::exists(status))
        throw Refusal("Cannot load the league: its player file " + Quoted(sPyrPath) +
                      " does not exist.\n\nNo file was changed.");
    if (!std::filesystem::is_regular_file(status))
        throw Refusal("Cannot load the league: " + Quoted(sPyrPath) + " is not a player file.\n\nNo file was changed.");
    const auto size = std::filesystem::file_size(sPyrPath, ec);
    if (ec) ThrowFileError("read", sPyrPath, QString::fromStdString(ec.message()));
    if (size < recordLen)
        throw Refusal("Cannot load the league: its player file " + Quoted(sPyrPath) + " holds " +
                      std::to_string(size) + " bytes, too few for its " + std::to_string(recordLen) +
                      "-byte header record.\n\nNo file was changed.");
    return static_cast<qint64>(size);
}

template <std::size_t R>
void ImportLeague(ProgramState& state, const std::filesystem::path& sPyrPath, std::array<std::uint8_t, R>& header,
                  std::array<std::uint8_t, R>& record, void (*decode)(const ProgramState&, db::Recordset&)) {
    const qint64 fileLength = CheckPlayerFile(sPyrPath, R);

    // The player file is opened first, so that one that cannot be read costs
    // the user no working database.
    QFile file(ToQString(sPyrPath));
    if (!file.open(QIODevice::ReadOnly)) ThrowFileError("open", sPyrPath, file);

    const std::filesystem::path dbPath = state.WorkingDatabasePath();
    CreateDatabaseFile(dbPath);
    CreatePlayersTable(dbPath, "Players");
    auto database = db::Database::OpenDatabase(dbPath);
    db::Recordset& rs = database->OpenRecordset("Players");

    ProgressShowing showing(*state.progress);

    ReadExactly(file, sPyrPath, header.data(), R);
    // Records in the file, the header included (a 32-bit count, remainder dropped).
    const auto count = static_cast<std::int32_t>(fileLength / static_cast<qint64>(R));
    const double step = 100.0 / count;
    BuildKeyTable(state.tables, header[kHeaderStartOffset], header[kHeaderStepOffset]);

    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kChunkRecords) * R);
    for (qint64 left = count - 1; left > 0;) {
        const qint64 n = std::min(left, kChunkRecords);
        ReadExactly(file, sPyrPath, chunk.data(), n * static_cast<qint64>(R));
        for (qint64 i = 0; i < n; ++i) {
            std::memcpy(record.data(), chunk.data() + i * static_cast<qint64>(R), R);
            decode(state, rs);
            state.progress->UpdateBar(kLoadingLeague, step);
        }
        left -= n;
    }
    file.close();
    database->Close();
}

// The save refuses, and leaves the player file alone, where a row cannot be
// written back as the game stores it.
[[noreturn]] void RefuseRow(const std::filesystem::path& sPyrPath, std::int64_t slot, const std::string& problem) {
    throw Refusal("Cannot save the league to " + Quoted(sPyrPath) + ": the player in record " + std::to_string(slot) +
                  " " + problem + ".\n\nThe player file was not changed.");
}

// Fills the plain bytes of one L02 record from the current row.
void PlainRecordFromRow(db::Recordset& rs, std::span<std::uint8_t, kRecordLenL02> plain,
                        const std::filesystem::path& sPyrPath, std::int64_t slot) {
    thread_local LayoutColumns<kPlayerFieldsL02.size()> columns;
    const auto& indexes = columns.Of(rs, kPlayerFieldsL02);
    for (std::size_t c = 0; c < kPlayerFieldsL02.size(); ++c) {
        const FieldLayout& f = kPlayerFieldsL02[c];
        const int index = indexes[c];
        const auto column = [&] { return rs.Fields()[static_cast<std::size_t>(index)].name; };
        if (f.stored == Stored::Name) {
            const auto text = rs.Text(index);
            if (!text) RefuseRow(sPyrPath, slot, "has no text in " + column());
            thread_local std::u32string chars;
            if (!cp1252::Utf8ToCodePoints(*text, chars))
                RefuseRow(sPyrPath, slot, "has a " + column() + " that is not valid text");
            chars = PadName(std::move(chars));
            for (std::size_t i = 0; i < kNameLen; ++i) {  // characters after the 13th are left out
                const auto byte = cp1252::FromUnicode(chars[i]);
                if (!byte) RefuseRow(sPyrPath, slot, "has a character in " + column() + " that the player file cannot hold");
                plain[f.offset + i] = *byte;
            }
        } else {
            std::int64_t n = 0;
            try {
                n = rs.Int(index);
            } catch (const Error& e) {
                if (e.number() != kErrInvalidUseOfNull && e.number() != kErrDataType) throw;
                RefuseRow(sPyrPath, slot, "has no number in " + column());
            }
            if (n < 0 || n > 255)
                RefuseRow(sPyrPath, slot, "has " + column() + " = " + std::to_string(n) + ", which does not fit in one byte");
            plain[f.offset] = static_cast<std::uint8_t>(n);
        }
    }
}

bool HasWritePermission(const std::filesystem::path& p) {
    // Permission bits, not an access check: a file marked read-only stays
    // untouched even for an administrator.
    using std::filesystem::perms;
    std::error_code ec;
    const perms bits = std::filesystem::status(p, ec).permissions();
    return !ec && (bits & (perms::owner_write | perms::group_write | perms::others_write)) != perms::none;
}

}  // namespace

void DecodePlayerL02(const ProgramState& state, db::Recordset& rs) {
    PlayerRecL02 plain;
    DecodeRecord(state.playerL02, plain, state.tables);
    rs.AddNew();
    SetColumns(kPlayerFieldsL02, plain, rs);
    rs.Update();
}

void DecodePlayerL03(const ProgramState& state, db::Recordset& rs) {
    PlayerRecL03 plain;
    DecodeRecord(state.playerL03, plain, state.tables);
    rs.AddNew();
    SetColumns(kPlayerFieldsL02, plain, rs);
    SetColumns(kPlayerFieldsL03Extra, plain, rs);
    rs.Update();
}

void ImportLeagueL02(ProgramState& state, const std::filesystem::path& sPyrPath) {
    ImportLeague(state, sPyrPath, state.headerL02, state.playerL02, &DecodePlayerL02);
}

void ImportLeagueL03(ProgramState& state, const std::filesystem::path& sPyrPath) {
    ImportLeague(state, sPyrPath, state.headerL03, state.playerL03, &DecodePlayerL03);
}

std::u32string PadName(std::u32string name) {
    if (name.size() < kNameLen) name.resize(kNameLen, U'\0');
    return name;
}

void SaveLeagueL02(ProgramState& state, const std::filesystem::path& sPyrPath) {
    constexpr auto R = static_cast<qint64>(kRecordLenL02);

    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
    db::Recordset& rs = database->OpenRecordset("SELECT * FROM Players WHERE Position < 15");
    try {
        rs.MoveLast();
    } catch (const Error& e) {
        if (e.number() != kErrNoCurrentRecord) throw;
        throw Refusal("Cannot save the league to " + Quoted(sPyrPath) +
                      ": no player in the working database has a position below 15, so there is nothing to "
                      "write.\n\nThe player file was not changed.");
    }
    const double step = 100.0 / static_cast<double>(rs.RecordCount());
    rs.MoveFirst();

    QFile in(ToQString(sPyrPath));
    if (!in.exists()) ThrowFileError("open", sPyrPath, QStringLiteral("the file does not exist"));
    if (!HasWritePermission(sPyrPath)) ThrowFileError("write", sPyrPath, QStringLiteral("the file is read-only"));
    if (!in.open(QIODevice::ReadOnly)) ThrowFileError("open", sPyrPath, in);
    const qint64 fileLength = in.size();
    const qint64 count = fileLength / R;  // record slots, the header included
    if (count < 1)
        throw Error(kErrFileAccess, "Cannot save the league to " + Quoted(sPyrPath) +
                                        ": the file no longer holds its header record; it changed since it was loaded");

    // All or nothing: the new contents go to a temporary file beside the old
    // one, which replaces it only once everything is written and flushed.
    QSaveFile out(ToQString(sPyrPath));
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) ThrowFileError("write", sPyrPath, out);

    ProgressShowing showing(*state.progress);

    // The header goes back exactly as the import read it.
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kChunkRecords * R));
    ReadExactly(in, sPyrPath, chunk.data(), R);
    WriteAll(out, sPyrPath, state.headerL02.data(), R);

    // Each row goes back to the slot it was read from: the import adds rows
    // in file order, so rowid k is slot k. Slots without a row (players whose
    // Position is 15 or more) keep their bytes, and no record moves.
    PlayerRecL02 plain;
    for (qint64 slot = 1; slot < count;) {
        const qint64 n = std::min(count - slot, kChunkRecords);
        ReadExactly(in, sPyrPath, chunk.data(), n * R);
        for (qint64 i = 0; i < n; ++i, ++slot) {
            if (rs.IsEOF() || rs.RowId() != slot) continue;
            state.progress->UpdateBar(kSaving, step);
            PlainRecordFromRow(rs, plain, sPyrPath, slot);
            EncodeRecord(plain, state.playerL02, state.tables);
            std::memcpy(chunk.data() + i * R, state.playerL02.data(), static_cast<std::size_t>(R));
            rs.MoveNext();
        }
        WriteAll(out, sPyrPath, chunk.data(), n * R);
        if (!rs.IsEOF() && rs.RowId() < slot)
            throw Error(kErrEngine, "Cannot save the league to " + Quoted(sPyrPath) +
                                        ": the working database's rows are not in file order");
    }
    if (!rs.IsEOF())
        throw Error(kErrFileAccess, "Cannot save the league to " + Quoted(sPyrPath) +
                                        ": the file holds fewer records than when it was loaded; it changed since");

    // Bytes after the last whole record belong to no record and stay as they are.
    const qint64 trailing = fileLength - count * R;
    ReadExactly(in, sPyrPath, chunk.data(), trailing);
    WriteAll(out, sPyrPath, chunk.data(), trailing);
    in.close();

    if (!out.commit()) ThrowFileError("write", sPyrPath, out);
    database->Close();
}

void CopyWorkingDatabase(const ProgramState& state, const std::filesystem::path& sPotPath) {
    const std::filesystem::path source = state.WorkingDatabasePath();
    QFile in(ToQString(source));
    if (!in.open(QIODevice::ReadOnly)) ThrowFileError("read", source, in);
    QSaveFile out(ToQString(sPotPath));
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) ThrowFileError("write", sPotPath, out);

    std::vector<char> buffer(1 << 20);
    for (;;) {
        const qint64 got = in.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got < 0) ThrowFileError("read", source, in);
        if (got == 0) break;
        if (out.write(buffer.data(), got) != got) ThrowFileError("write", sPotPath, out);
    }
    in.close();
    if (!out.commit()) ThrowFileError("write", sPotPath, out);
}

}  // namespace tavrin
