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

// The player file's records as the working database's rows, decoded one at
// a time as the engine asks for the next: the import's one pass over the
// file. Each record is seen by the hook, and advances the progress window.
class RecordRows final : public db::RowSource {
public:
    RecordRows(RecordReader& reader, ImportedLeague& league, const RecordHook& hook, const ProgramState& state)
        : reader_(reader), league_(league), hook_(hook), progress_(*state.progress),
          step_(100.0 / reader.Count()), length_(reader.Length()), record_(std::span(plain_).first(length_)) {
        for (const FieldLayout& f : kPlayerFieldsL02) fields_.push_back(f);
        if (league.kind == RecordKind::L03)
            for (const FieldLayout& f : kPlayerFieldsL03Extra) fields_.push_back(f);
    }

    bool Next() override {
        if (at_ >= chunk_.size()) {
            chunk_ = reader_.NextChunk();
            at_ = 0;
            if (chunk_.empty()) return false;
        }
        DecodeRecord(chunk_.subspan(at_, length_), record_, league_.tables);
        at_ += length_;
        ++league_.players;
        if (record_[OffsetOf(Col::Position)] < kOutOfLineupPosition) ++league_.saveable;
        if (hook_) hook_(league_.players, record_);
        progress_.UpdateBar(kLoadingLeague, step_);
        namesMade_ = 0;
        return true;
    }
    bool IsText(int column) const override { return Field(column).stored == Stored::Name; }
    std::string_view Text(int column) const override {
        // Nothing is trimmed: the NUL padding is part of the name's 13 characters.
        const FieldLayout& f = Field(column);
        std::string& text = f.column == Col::FirstName ? first_ : last_;
        const unsigned bit = f.column == Col::FirstName ? 1 : 2;
        if (!(namesMade_ & bit)) {
            cp1252::BytesToUtf8({reinterpret_cast<const char*>(record_.data() + f.offset), kNameLen}, text);
            namesMade_ |= bit;
        }
        return text;
    }
    std::int64_t Int(int column) const override { return record_[Field(column).offset]; }

private:
    const FieldLayout& Field(int column) const { return fields_[static_cast<std::size_t>(column)]; }

    RecordReader& reader_;
    ImportedLeague& league_;
    const RecordHook& hook_;
    Progress& progress_;
    double step_;
    std::size_t length_;
    std::vector<FieldLayout> fields_;
    std::span<std::uint8_t> chunk_;
    std::size_t at_ = 0;
    std::array<std::uint8_t, kRecordLenL03> plain_{};
    std::span<std::uint8_t> record_;
    mutable std::string first_, last_;  // the names' UTF-8, made once a record
    mutable unsigned namesMade_ = 0;
};

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

namespace {

ImportedLeague Import(const ProgramState& state, RecordReader& reader, const fs::path& pyr, RecordKind kind,
                      const RecordHook& hook) {
    auto database = CreateWorkingDatabase(state);

    ProgressShowing showing(*state.progress);
    ImportedLeague league = Imported(kind, pyr, reader);
    RecordRows rows(reader, league, hook, state);
    database->InsertRows("Players", LayoutColumns(kind), rows);
    reader.Trailing();  // for the fingerprint of the whole file
    league.fingerprint = reader.Fingerprint();
    database->Close();
    return league;
}

ImportedLeague Read(RecordReader& reader, const fs::path& pyr, RecordKind kind,
                    const std::function<void(std::int64_t, std::span<const std::uint8_t>)>& each) {
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

}  // namespace

ImportedLeague ImportLeague(const ProgramState& state, const fs::path& pyr, RecordKind kind, const RecordHook& hook) {
    // The player file is checked and opened first, so that one that cannot be
    // read costs the user no working database.
    RecordReader reader(pyr, kind);
    return Import(state, reader, pyr, kind, hook);
}

ImportedLeague ImportLeague(const ProgramState& state, std::span<const std::uint8_t> bytes, const fs::path& pyr,
                            RecordKind kind, const RecordHook& hook) {
    RecordReader reader(bytes, pyr, kind);
    ImportedLeague league = Import(state, reader, pyr, kind, hook);
    league.memory = bytes;
    return league;
}

ImportedLeague ReadPlayerFile(const fs::path& pyr, RecordKind kind,
                              const std::function<void(std::int64_t, std::span<const std::uint8_t>)>& each) {
    RecordReader reader(pyr, kind);
    return Read(reader, pyr, kind, each);
}

ImportedLeague ReadPlayerFile(std::span<const std::uint8_t> bytes, const fs::path& pyr, RecordKind kind,
                              const std::function<void(std::int64_t, std::span<const std::uint8_t>)>& each) {
    RecordReader reader(bytes, pyr, kind);
    ImportedLeague league = Read(reader, pyr, kind, each);
    league.memory = bytes;
    return league;
}

}  // namespace tavrin
