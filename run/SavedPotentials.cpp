#include "run/SavedPotentials.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>

#include <array>

#include "db/Error.h"
#include "db/PlayersTable.h"
#include "db/mDbEngine.h"
#include "league/QtFiles.h"
#include "league/ReplacingFile.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNoteTable = "SavedPlayerFile";
enum NoteColumn { kOperation, kSavedAt, kSha256, kRestoredAt };
const std::vector<std::string> kNoteColumns{"Operation", "SavedAt", "Sha256", "RestoredAt"};

}  // namespace

std::optional<std::string> ProblemWithSavedPotentials(const fs::path& pot) {
    std::error_code ec;
    const auto status = fs::status(pot, ec);
    if (!fs::exists(status)) return "the file does not exist";
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

std::optional<SavedNote> ReadSavedNote(const fs::path& pot) {
    try {
        auto database = db::Database::OpenDatabase(pot, db::Database::Mode::ReadOnly);
        if (!database->HasTable(kNoteTable)) return std::nullopt;
        auto rows = database->OpenCursor({std::string(kNoteTable), {}, kNoteColumns});
        if (!rows->Next()) return std::nullopt;
        const auto text = [&](int column) { return std::string(rows->TextIf(column).value_or("")); };
        return SavedNote{text(kOperation), text(kSavedAt), text(kSha256), text(kRestoredAt)};
    } catch (const Error&) {
        return std::nullopt;  // a note that cannot be read is no note
    }
}

bool IsStillHidden(const SavedNote& note, const fs::path& pyr) {
    return note.restoredAt.empty() && note.sha256 == Sha256Hex(pyr);
}

void WriteSavedNote(const fs::path& pot, const SavedNote& note) {
    // Into a copy that replaces the file whole: the .pot is never changed in
    // place, so a run killed while writing the note leaves it as it was, with
    // no journal beside it, and at most the copy, which the next run removes.
    // The copy is this run's alone until it is renamed: it needs no journal.
    ChangeThroughCopy(pot, [&](const fs::path& copy) {
        auto database = db::Database::OpenDatabase(copy, db::Database::Mode::Scratch);
        if (database->HasTable(kNoteTable)) {
            database->DeleteAll(kNoteTable);
        } else {
            std::vector<db::FieldDef> fields;
            for (const std::string& c : kNoteColumns) fields.push_back({c, db::FieldType::Text});
            database->CreateTable(kNoteTable, fields);
        }
        db::RowAppender& rs = database->OpenAppender(kNoteTable, kNoteColumns);
        rs.AddNew();
        rs.SetField(kOperation, note.operation);
        rs.SetField(kSavedAt, note.savedAt);
        rs.SetField(kSha256, note.sha256);
        if (!note.restoredAt.empty()) rs.SetField(kRestoredAt, note.restoredAt);
        rs.Update();
        database->Close();
    });
}

std::string Sha256Hex(const fs::path& file) {
    QFile in(ToQString(file));
    if (!in.open(QIODevice::ReadOnly)) ThrowFileError("read", file, in);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    if (!sha.addData(&in)) ThrowFileError("read", file, in);
    return sha.result().toHex().toStdString();
}

std::string NowUtc() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(); }

std::string LocalTimeText(const std::string& isoUtc) {
    const QDateTime when = QDateTime::fromString(QString::fromStdString(isoUtc), Qt::ISODate);
    if (!when.isValid()) return isoUtc;
    return when.toLocalTime().toString(QStringLiteral("d MMM yyyy HH:mm")).toStdString();
}

}  // namespace tavrin::run
