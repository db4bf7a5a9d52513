#include "pots/SavedPotentials.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cstring>

#include "base/Error.h"
#include "db/PlayersTable.h"
#include "db/Database.h"
#include "league/RecordLayout.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kWrittenTable = "WrittenPotentials";
constexpr std::string_view kRunTable = "SavedRun";
const std::vector<std::string> kRunColumns{"Operation", "SavedAt", "ReadFingerprint", "Fingerprint"};

std::vector<std::string> WrittenColumns() {
    std::vector<std::string> names{"Slot", "PID_a", "PID_b"};
    for (const std::string_view code : kAttributeCodes) names.push_back("Written_" + std::string(code));
    for (const std::string_view code : kAttributeCodes) names.push_back("Read_" + std::string(code));
    return names;
}

// An earlier Tavrin left only a note of the player file it saved: a
// SHA-256 of it, unless a Restore came since.
constexpr std::string_view kEarlierNoteTable = "SavedPlayerFile";

std::string Sha256Of(const fs::path& file) {
    QFile in(QString::fromStdU16String(file.u16string()));
    QCryptographicHash sha(QCryptographicHash::Sha256);
    if (!in.open(QIODevice::ReadOnly) || !sha.addData(&in)) return {};
    return sha.result().toHex().toStdString();
}

std::uint8_t Byte(const db::Cursor& row, int column) { return static_cast<std::uint8_t>(row.IntIn(column, 0, 255)); }

}  // namespace

Potentials PotentialsOf(std::span<const std::uint8_t> plain) {
    Potentials pots{};
    for (std::size_t a = 0; a < pots.size(); ++a) pots[a] = plain[OffsetOf(kPotColumns[a])];
    return pots;
}

void SetPotentials(std::span<std::uint8_t> plain, const Potentials& pots) {
    for (std::size_t a = 0; a < pots.size(); ++a) plain[OffsetOf(kPotColumns[a])] = pots[a];
}

std::optional<std::string> ProblemWithSavedPotentials(const fs::path& pot) {
    std::error_code ec;
    const auto status = fs::symlink_status(pot, ec);
    if (!fs::exists(status)) return "the file does not exist";
    if (fs::is_symlink(status)) return "it is a symbolic link";
    if (!fs::is_regular_file(status)) return "it is not a regular file";
    try {
        auto database = db::Database::OpenDatabase(pot, db::Database::Mode::ReadOnly);
        if (!database->HasTable("Players")) return "it has no Players table";
        const PlayersColumns columns(database->TableFields("Players"));
        std::string missing;
        for (const Col c : std::array{Col::PID_a, Col::PID_b})
            if (!columns.Has(c)) missing += (missing.empty() ? "" : ", ") + std::string(Name(c));
        for (const Col c : kPotColumns)
            if (!columns.Has(c)) missing += (missing.empty() ? "" : ", ") + std::string(Name(c));
        if (!missing.empty()) return "its Players table has no column " + missing;
    } catch (const Error& e) {
        return std::string("it cannot be read as a saved-potentials database (") + e.what() + ")";
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- SavedTruth

SavedTruth::SavedTruth(const fs::path& pot, const fs::path& pyr) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(pot, ec))) return;
    database_ = db::Database::OpenDatabase(pot, db::Database::Mode::ReadOnly);
    if (!database_->HasTable(kWrittenTable) || !database_->HasTable(kRunTable)) {
        ReadEarlierNote(pyr);
        return;
    }
    auto run = database_->OpenCursor({std::string(kRunTable), {}, kRunColumns});
    if (!run->Next()) return;
    const auto text = [&](int column) { return std::string(run->TextIf(column).value_or("")); };
    run_ = SavedRun{text(0), text(1), text(2), text(3)};

    // Each row with the Players row of its slot (rowid k is slot k, as the
    // working database it was copied from numbers them), where that row is
    // the same player.
    std::vector<std::string> columns = WrittenColumns();
    std::string select = "SELECT ";
    for (const std::string& c : columns) select += "w." + c + ", ";
    for (const Col c : kPotColumns) {
        select += "p." + std::string(Name(c)) + (c == kPotColumns.back() ? " " : ", ");
        columns.emplace_back(Name(c));
    }
    select += "FROM WrittenPotentials w JOIN Players p ON p.rowid = w.Slot AND p.PID_a = w.PID_a AND "
              "p.PID_b = w.PID_b ORDER BY w.Slot";
    rows_ = database_->OpenCursor(select, std::move(columns));
    more_ = true;
}

void SavedTruth::ReadEarlierNote(const fs::path& pyr) {
    if (!database_->HasTable(kEarlierNoteTable) || !database_->HasTable("Players")) return;
    auto note = database_->OpenCursor({std::string(kEarlierNoteTable), {}, {"Operation", "SavedAt", "Sha256", "RestoredAt"}});
    if (!note->Next() || !note->TextIf(3).value_or("").empty()) return;
    const std::string sha256(note->TextIf(2).value_or(""));
    if (sha256.empty() || sha256 != Sha256Of(pyr)) return;
    run_ = SavedRun{std::string(note->TextIf(0).value_or("")), std::string(note->TextIf(1).value_or("")), {}, {}};
    // Every Players row is a row of the record, its identity checked alone.
    std::vector<std::string> columns{"rowid", "PID_a", "PID_b"};
    std::string select = "SELECT rowid, PID_a, PID_b";
    for (const std::string_view code : kAttributeCodes) columns.push_back("Written_" + std::string(code));
    for (const std::string_view code : kAttributeCodes) columns.push_back("Read_" + std::string(code));
    for (int twice = 0; twice < 3; ++twice)
        for (const Col c : kPotColumns) select += ", " + std::string(Name(c));
    for (const Col c : kPotColumns) columns.emplace_back(Name(c));
    rows_ = database_->OpenCursor(select + " FROM Players ORDER BY rowid", std::move(columns));
    more_ = true;
    everyPlayer_ = true;
}

SavedTruth::~SavedTruth() = default;

const SavedTruth::Player* SavedTruth::At(std::int64_t slot) {
    while (more_ && (!current_ || current_->written.slot < slot)) {
        more_ = rows_->Next();
        if (!more_) {
            current_.reset();
            break;
        }
        Player p;
        p.written.slot = rows_->Int(0);
        p.written.pidA = Byte(*rows_, 1);
        p.written.pidB = Byte(*rows_, 2);
        for (std::size_t a = 0; a < 8; ++a) {
            const int at = static_cast<int>(a);
            p.written.written[a] = Byte(*rows_, 3 + at);
            p.written.read[a] = Byte(*rows_, 11 + at);
            p.truth[a] = Byte(*rows_, 19 + at);
        }
        current_ = p;
    }
    return current_ && current_->written.slot == slot ? &*current_ : nullptr;
}

bool SavedTruth::IsTavrins(const Player& row, std::span<const std::uint8_t> plain) const {
    if (plain[OffsetOf(Col::PID_a)] != row.written.pidA || plain[OffsetOf(Col::PID_b)] != row.written.pidB)
        return false;
    if (everyPlayer_) return true;
    const Potentials now = PotentialsOf(plain);
    return now == row.written.written || now == row.written.read;
}

// ---------------------------------------------------------------- TruthFirst

RecordHook TruthFirst::Hook() {
    return [this](std::int64_t slot, std::span<std::uint8_t> plain) {
        const SavedTruth::Player* row = saved_.At(slot);
        const bool tavrins = row && saved_.IsTavrins(*row, plain);
        tavrins_.push_back(tavrins);
        if (!tavrins) {
            changedSince_ += row != nullptr;
            return;
        }
        if (PotentialsOf(plain) == row->truth) return;
        ++broughtBack_;
        if (bringBack_) SetPotentials(plain, row->truth);
    };
}

bool TruthFirst::Tavrins(std::int64_t slot) const {
    const auto i = static_cast<std::size_t>(slot - 1);
    return i < tavrins_.size() && tavrins_[i];
}

// ---------------------------------------------------------------- WrittenRecord

WrittenRecord::WrittenRecord(const fs::path& newPot)
    : database_(db::Database::OpenDatabase(newPot, db::Database::Mode::Scratch)) {
    std::vector<db::FieldDef> fields;
    for (const std::string& name : WrittenColumns())
        fields.push_back({name, name == "Slot" ? db::FieldType::Long : db::FieldType::Byte});
    database_->CreateTable(kWrittenTable, fields);
    rows_ = &database_->OpenAppender(kWrittenTable, WrittenColumns());
}

WrittenRecord::~WrittenRecord() = default;

void WrittenRecord::Add(const WrittenPlayer& player) {
    rows_->AddNew();
    rows_->SetField(0, player.slot);
    rows_->SetField(1, std::int64_t{player.pidA});
    rows_->SetField(2, std::int64_t{player.pidB});
    for (int a = 0; a < 8; ++a) {
        rows_->SetField(3 + a, std::int64_t{player.written[static_cast<std::size_t>(a)]});
        rows_->SetField(11 + a, std::int64_t{player.read[static_cast<std::size_t>(a)]});
    }
    rows_->Update();
}

void WrittenRecord::Finish(const SavedRun& run) {
    std::vector<db::FieldDef> fields;
    for (const std::string& c : kRunColumns) fields.push_back({c, db::FieldType::Text});
    database_->CreateTable(kRunTable, fields);
    db::RowAppender& row = database_->OpenAppender(kRunTable, kRunColumns);
    row.AddNew();
    row.SetField(0, run.operation);
    row.SetField(1, run.savedAt);
    row.SetField(2, run.readFingerprint);
    row.SetField(3, run.fingerprint);
    row.Update();
    database_->Close();
}

}  // namespace tavrin
