#include "pots/WrittenRecord.h"

#include "db/Database.h"

namespace tavrin {

namespace fs = std::filesystem;

WrittenRecord::WrittenRecord(const fs::path& newPot)
    : database_(db::Database::OpenDatabase(newPot, db::Database::Mode::Scratch)) {
    std::vector<db::FieldDef> fields;
    for (const std::string& name : saved::RecordColumns())
        fields.push_back({name, name == "Slot" ? db::FieldType::Long : db::FieldType::Byte});
    database_->CreateTable(saved::kRecordTable, fields);
    rows_ = &database_->OpenAppender(saved::kRecordTable, saved::RecordColumns());
}

WrittenRecord::~WrittenRecord() = default;

void WrittenRecord::Add(const WrittenPlayer& player) {
    rows_->AddNew();
    rows_->SetField(0, player.slot);
    rows_->SetField(1, std::int64_t{player.pidA});
    rows_->SetField(2, std::int64_t{player.pidB});
    for (int a = 0; a < 8; ++a) {
        rows_->SetField(saved::kWrittenAt + a, std::int64_t{player.written[static_cast<std::size_t>(a)]});
        rows_->SetField(saved::kReadAt + a, std::int64_t{player.read[static_cast<std::size_t>(a)]});
    }
    rows_->Update();
    ++added_;
}

void WrittenRecord::Finish(const SavedRun& run) {
    std::vector<db::FieldDef> fields;
    for (const std::string& c : saved::RunColumns())
        fields.push_back({c, c == saved::RunColumns().back() ? db::FieldType::Long : db::FieldType::Text});
    database_->CreateTable(saved::kRunTable, fields);
    db::RowAppender& row = database_->OpenAppender(saved::kRunTable, saved::RunColumns());
    row.AddNew();
    row.SetField(0, run.operation);
    row.SetField(1, run.savedAt);
    row.SetField(2, run.readFingerprint);
    row.SetField(3, run.fingerprint);
    row.SetField(4, added_);
    row.Update();
    database_->Close();
}

}  // namespace tavrin
