#include "pots/WrittenRecord.h"

#include "db/Database.h"

namespace tavrin {

namespace fs = std::filesystem;

WrittenRecord::WrittenRecord(const fs::path& newPot)
    : database_(db::Database::OpenDatabase(newPot, db::Database::Mode::Scratch)) {
    database_->CreateTable(saved::kPackedTable, {{"Chunk", db::FieldType::Long}, {"Players", db::FieldType::Blob}});
    chunks_ = &database_->OpenAppender(saved::kPackedTable, {"Chunk", "Players"});
    held_.reserve(saved::kEntriesPerChunk * saved::kEntryBytes);
}

WrittenRecord::~WrittenRecord() = default;

void WrittenRecord::Add(const WrittenPlayer& p) {
    const saved::Entry entry{static_cast<std::uint32_t>(p.slot), p.pidA, p.pidB, p.names, p.written, p.read, p.truth};
    held_.resize(held_.size() + saved::kEntryBytes);
    saved::Pack(entry, std::span<std::uint8_t, saved::kEntryBytes>(held_.end() - saved::kEntryBytes, held_.end()));
    if (++added_ % static_cast<std::int64_t>(saved::kEntriesPerChunk) == 0) Store();
}

void WrittenRecord::Store() {
    if (held_.empty()) return;
    chunks_->AddNew();
    chunks_->SetField(0, ++stored_);
    chunks_->SetField(1, std::span<const std::uint8_t>(held_));
    chunks_->Update();
    held_.clear();
}

void WrittenRecord::Finish(const SavedRun& run) {
    Store();
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
