#include "league/PlayerFile.h"

#include "db/Database.h"
#include "league/Cp1252.h"
#include "league/PlayersTable.h"
#include "league/RecordLayout.h"
#include "league/WorkingDatabase.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLoadingLeague = "Loading League";

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

ImportedLeague Imported(RecordKind kind, const fs::path& pyr, RecordReader& reader) {
    ImportedLeague league;
    league.kind = kind;
    league.file = pyr;
    league.read = reader.Info();
    reader.ReadHeader(league.header);
    BuildTables(league.tables, league.header[kHeaderStartOffset], league.header[kHeaderStepOffset]);
    return league;
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
            if (record[OffsetOf(Col::Position)] < kOutOfLineupPosition) ++league.saveable;
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

}  // namespace tavrin
