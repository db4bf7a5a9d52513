#include "pots/WrittenRecord.h"

#include "base/Error.h"
#include "db/Database.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// The new .pot, lent to the database engine.
class PotFile final : public db::OpenedFile {
public:
    explicit PotFile(platform::File& file) : file_(file) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override { return file_.ReadAt(offset, into); }
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override { file_.WriteAt(offset, bytes); }
    void Truncate(std::uint64_t size) override { file_.Truncate(size); }
    std::uint64_t Size() override { return file_.Info().size; }
    fs::path Path() const override { return file_.Path(); }

private:
    platform::File& file_;
};

}  // namespace

WrittenRecord::WrittenRecord(platform::File& newPot)
    : file_(std::make_unique<PotFile>(newPot)),
      database_(db::Database::OpenOnFile(*file_, db::Database::Mode::Scratch)) {
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
    // A part is a row big enough on its own: stored at once, not held with
    // others for a batch (64 of them would be 10 MB held in memory).
    chunks_->Flush();
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

std::optional<std::string> WrittenRecord::ProblemWith(platform::File& newPot) {
    PotFile file(newPot);
    try {
        auto database = db::Database::OpenOnFile(file, db::Database::Mode::ReadOnly);
        return ProblemWithSavedPotentials(*database);
    } catch (const Error& e) {
        return std::string("it cannot be read as a saved-potentials database (") + e.what() + ")";
    }
}

}  // namespace tavrin
