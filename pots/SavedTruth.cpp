#include "pots/SavedTruth.h"

#include <algorithm>

#include "db/Database.h"
#include "league/Cp1252.h"
#include "league/PlayersTable.h"
#include "league/RecordLayout.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

using saved::kReadAt;
using saved::kRecordColumnCount;
using saved::kWrittenAt;

// A statement on a .pot stops after this many steps of the engine for each
// byte of the file (and at least the floor): a plain read of every table
// takes a small part of it, a file made to keep the engine busy for ever
// far more.
constexpr std::uint64_t kStepsPerByte = 16, kStepsAtLeast = 50'000'000;

[[noreturn]] void RecordProblem(const std::string& problem) {
    throw UnreadableSavedPotentials("its record of what Tavrin wrote " + problem, true);
}

// A value of a .pot's row that must be a byte (an identity, a potential);
// `where` says which row, and is asked only when the value is not one.
template <typename Where>
std::uint8_t ByteIn(const db::Cursor& row, int column, std::string_view name, const Where& where, bool inRecord) {
    const auto n = row.IntIf(column);
    if (!n || *n < 0 || *n > 255)
        throw UnreadableSavedPotentials(where() + ": " + std::string(name) + " holds " + row.ValueText(column) +
                                            ", which is not a value of the player file",
                                        inRecord);
    return static_cast<std::uint8_t>(*n);
}

}  // namespace

std::uint64_t NamesKey(std::span<const std::uint8_t> plain) {
    // FNV-1a over the first name's 13 bytes and the last name's.
    std::uint64_t h = 14695981039346656037ull;
    for (const Col c : {Col::FirstName, Col::LastName})
        for (std::size_t i = 0; i < kNameLen; ++i) {
            h ^= plain[OffsetOf(c) + i];
            h *= 1099511628211ull;
        }
    return h | 1;  // never 0, which stands for names not known
}

// The key of two names as a .pot holds them (UTF-8 text); 0 where they are
// not names the player file can hold.
std::uint64_t NamesKeyOf(std::optional<std::string_view> first, std::optional<std::string_view> last) {
    PlayerRecL02 plain{};
    for (const auto& [text, column] : {std::pair{first, Col::FirstName}, std::pair{last, Col::LastName}})
        if (!text || cp1252::Utf8ToBytes(*text, std::span(plain).subspan(OffsetOf(column), kNameLen)) !=
                         cp1252::ToBytes::Done)
            return 0;
    return NamesKey(plain);
}


Judgement Judge(const SavedRow& row, const Potentials& now, bool everySaved) {
    Judgement j;
    j.truth = now;
    for (std::size_t a = 0; a < now.size(); ++a) {
        const auto bit = static_cast<std::uint8_t>(1u << a);
        if (everySaved || (row.recorded && (now[a] == row.written[a] || now[a] == row.read[a]))) {
            j.truth[a] = row.truth[a];
            j.tavrins |= bit;
        } else if (now[a] != row.truth[a]) {
            ++j.gameChanged;
        }
    }
    return j;
}

// ---------------------------------------------------------------- SavedTruth

SavedTruth::SavedTruth(const fs::path& pot, Rows rows, bool ignoreRecord) : path_(pot), rows_(rows) {
    std::error_code ec;
    const auto status = fs::symlink_status(pot, ec);
    if (!fs::exists(status)) return;
    if (!fs::is_regular_file(status)) throw UnreadableSavedPotentials("it is not a regular file", false);
    try {
        database_ = db::Database::OpenDatabase(pot, db::Database::Mode::ReadOnly);
    } catch (const Error& e) {
        throw UnreadableSavedPotentials(std::string("it is not a saved-potentials database (") + e.what() + ")",
                                        false);
    }
    database_->LimitWork(std::max(kStepsAtLeast, kStepsPerByte * static_cast<std::uint64_t>(fs::file_size(pot, ec))));

    try {
        if (!database_->HasTable("Players")) throw UnreadableSavedPotentials("it has no Players table", false);
        const PlayersColumns players(database_->TableFields("Players"));
        std::vector<Col> read{Col::PID_a, Col::PID_b};
        read.insert(read.end(), kPotColumns.begin(), kPotColumns.end());
        for (const Col c : read)
            if (!players.Has(c))
                throw UnreadableSavedPotentials("its Players table has no column " + std::string(Name(c)), false);
        names_ = players.Has(Col::FirstName) && players.Has(Col::LastName);

        if (!(rows == Rows::Every && ignoreRecord)) {
            packed_ = database_->HasTable(saved::kPackedTable);
            const bool rowTable = !packed_ && database_->HasTable(saved::kRecordTable);
            if ((packed_ || rowTable) && database_->HasTable(saved::kRunTable)) hasRecord_ = true;
            else if (rows == Rows::Recorded) RecordProblem("is missing");
        }
        if (hasRecord_) {
            const std::vector<db::FieldDef> runFields = database_->TableFields(saved::kRunTable);
            for (std::size_t i = 0; i + 1 < saved::RunColumns().size(); ++i)
                if (db::FindField(runFields, saved::RunColumns()[i]) < 0) RecordProblem("names no " + saved::RunColumns()[i]);
            // A record of an earlier Tavrin does not say how many rows it holds.
            const bool counted = db::FindField(runFields, saved::RunColumns().back()) >= 0;
            std::vector<std::string> runColumns = saved::RunColumns();
            if (!counted) runColumns.pop_back();
            auto run = database_->OpenCursor({std::string(saved::kRunTable), {}, runColumns});
            if (!run->Next()) RecordProblem("names no run");
            const auto text = [&](int column) { return std::string(run->TextIf(column).value_or("")); };
            run_ = SavedRun{text(0), text(1), text(2), text(3)};
            if (counted) {
                const auto n = run->IntIf(4);
                if (!n || *n < 0) RecordProblem("gives its length as " + run->ValueText(4));
                recordRows_ = *n;
            }
            if (run->Next()) RecordProblem("names more than one run");

            if (packed_) {
                const std::vector<db::FieldDef> fields = database_->TableFields(saved::kPackedTable);
                for (const char* c : {"Chunk", "Players"})
                    if (db::FindField(fields, c) < 0) RecordProblem("has no column " + std::string(c));
                record_ = database_->OpenCursor("SELECT Chunk, Players FROM WrittenRecord ORDER BY rowid",
                                                {"Chunk", "Players"});
            }
        }
        if (hasRecord_ && !packed_) {
            const std::vector<db::FieldDef> fields = database_->TableFields(saved::kRecordTable);
            for (const std::string& c : saved::RecordColumns())
                if (db::FindField(fields, c) < 0) RecordProblem("has no column " + c);
            std::vector<std::string> columns = saved::RecordColumns();
            std::string select = "SELECT ";
            for (const std::string& c : columns) select += "w." + c + ", ";
            if (rows == Rows::Recorded) {
                // Each row with his true potentials: the Players row of his
                // slot, which must be the same player.
                for (const Col c : kPotColumns) {
                    select += "p." + std::string(Name(c)) + ", ";
                    columns.emplace_back(Name(c));
                }
                select += "p.PID_a, p.PID_b";
                columns.insert(columns.end(), {"PID_a", "PID_b"});
                if (names_) {
                    select += ", p.FirstName, p.LastName";
                    columns.insert(columns.end(), {"FirstName", "LastName"});
                }
                select += " FROM WrittenPotentials w LEFT JOIN Players p ON p.rowid = w.Slot";
            } else {
                select.resize(select.size() - 2);
                select += " FROM WrittenPotentials w";
            }
            record_ = database_->OpenCursor(select + " ORDER BY w.rowid", std::move(columns));
        }
        if (rows == Rows::Every) {
            std::vector<std::string> columns = ColumnNames(kPotColumns);
            columns.insert(columns.begin(), {"PID_a", "PID_b"});
            if (names_) columns.insert(columns.end(), {"FirstName", "LastName"});
            players_ = database_->OpenCursor({"Players", {}, columns});
        }
    } catch (const UnreadableSavedPotentials&) {
        throw;
    } catch (const Error& e) {
        throw UnreadableSavedPotentials(std::string("it cannot be read (") + e.what() + ")", false);
    }
}

SavedTruth::~SavedTruth() = default;

std::optional<SavedRow> SavedTruth::NextRecorded() { return packed_ ? NextEntry() : NextRow(); }

// The next entry of the packed record, checked: whole entries in parts
// numbered from 1, slots that grow, as many entries as the run said.
std::optional<SavedRow> SavedTruth::NextEntry() {
    try {
        while (entryAt_ >= entries_.size()) {
            if (!record_ || !record_->Next()) {
                if (record_ && recordRows_ && *recordRows_ != recordRead_)
                    RecordProblem("holds " + std::to_string(recordRead_) + " of its " + std::to_string(*recordRows_) +
                                  " entries");
                record_.reset();
                return std::nullopt;
            }
            const auto chunk = record_->IntIf(0);
            if (!chunk || *chunk != ++chunksRead_)
                RecordProblem("holds its part " + record_->ValueText(0) + " out of order");
            const auto blob = record_->BlobIf(1);
            if (!blob || blob->empty() || blob->size() % saved::kEntryBytes != 0 ||
                blob->size() > saved::kEntriesPerChunk * saved::kEntryBytes)
                RecordProblem("holds " + (blob ? std::to_string(blob->size()) + " bytes" : record_->ValueText(1)) +
                              " in its part " + std::to_string(chunksRead_) + ", which is no whole number of entries");
            entries_ = *blob;
            entryAt_ = 0;
        }
        const saved::Entry e =
            saved::Unpack(std::span<const std::uint8_t, saved::kEntryBytes>(entries_.subspan(entryAt_, saved::kEntryBytes)));
        entryAt_ += saved::kEntryBytes;
        ++recordRead_;
        if (e.slot <= lastRecordSlot_)
            RecordProblem("holds the slot " + std::to_string(e.slot) + " in its entry " + std::to_string(recordRead_) +
                          ", out of order");
        lastRecordSlot_ = e.slot;
        SavedRow row;
        row.slot = e.slot;
        row.pidA = e.pidA;
        row.pidB = e.pidB;
        row.names = e.names;
        row.truth = e.truth;
        row.recorded = true;
        row.written = e.written;
        row.read = e.read;
        return row;
    } catch (const UnreadableSavedPotentials&) {
        throw;
    } catch (const Error& e) {
        RecordProblem(std::string("cannot be read (") + e.what() + ")");
    }
}

// The next row of an earlier Tavrin's record, checked: slots that grow,
// bytes where bytes belong, and (Rows::Recorded) the Players row of his slot
// the same player.
std::optional<SavedRow> SavedTruth::NextRow() {
    try {
        if (!record_ || !record_->Next()) {
            if (record_ && recordRows_ && *recordRows_ != recordRead_)
                RecordProblem("holds " + std::to_string(recordRead_) + " of its " + std::to_string(*recordRows_) +
                              " rows");
            record_.reset();
            return std::nullopt;
        }
        ++recordRead_;
        const auto where = [&] { return "row " + std::to_string(recordRead_) + " of its record of what Tavrin wrote"; };
        SavedRow row;
        row.recorded = true;
        const auto slot = record_->IntIf(0);
        if (!slot || *slot <= lastRecordSlot_)
            RecordProblem("holds the slot " + record_->ValueText(0) + " in its row " + std::to_string(recordRead_) +
                          ", out of order");
        row.slot = lastRecordSlot_ = *slot;
        const std::vector<std::string>& names = saved::RecordColumns();
        row.pidA = ByteIn(*record_, 1, names[1], where, true);
        row.pidB = ByteIn(*record_, 2, names[2], where, true);
        for (std::size_t a = 0; a < 8; ++a) {
            const int at = static_cast<int>(a);
            row.written[a] = ByteIn(*record_, kWrittenAt + at, names[3 + a], where, true);
            row.read[a] = ByteIn(*record_, kReadAt + at, names[11 + a], where, true);
        }
        if (rows_ == Rows::Recorded) {
            if (record_->IsNull(kRecordColumnCount + 8))
                RecordProblem("names slot " + std::to_string(row.slot) + " in its row " +
                              std::to_string(recordRead_) + ", where Players has no player");
            const auto player = [&] { return "its Players row of slot " + std::to_string(row.slot); };
            if (ByteIn(*record_, kRecordColumnCount + 8, "PID_a", player, true) != row.pidA ||
                ByteIn(*record_, kRecordColumnCount + 9, "PID_b", player, true) != row.pidB)
                RecordProblem("names another player in its row " + std::to_string(recordRead_) + " than " + player());
            for (std::size_t a = 0; a < 8; ++a)
                row.truth[a] = ByteIn(*record_, kRecordColumnCount + static_cast<int>(a), Name(kPotColumns[a]), player, true);
            if (names_) row.names = NamesKeyOf(record_->TextIf(kRecordColumnCount + 10), record_->TextIf(kRecordColumnCount + 11));
        }
        return row;
    } catch (const UnreadableSavedPotentials&) {
        throw;
    } catch (const Error& e) {
        RecordProblem(std::string("cannot be read (") + e.what() + ")");
    }
}

// The next saved row in slot order: of the record alone, or every Players
// row with its record's row where it has one.
std::optional<SavedRow> SavedTruth::NextSaved() {
    if (rows_ == Rows::Recorded) return NextRecorded();
    try {
        if (!players_ || !players_->Next()) {
            players_.reset();
            if (!aheadRecorded_) aheadRecorded_ = NextRecorded();
            if (aheadRecorded_)
                RecordProblem("names slot " + std::to_string(aheadRecorded_->slot) + ", where Players has no player");
            return std::nullopt;
        }
        SavedRow row;
        row.slot = lastPlayerSlot_ = players_->RowId();
        const auto where = [&] { return "its Players row of slot " + std::to_string(row.slot); };
        row.pidA = ByteIn(*players_, 0, "PID_a", where, false);
        row.pidB = ByteIn(*players_, 1, "PID_b", where, false);
        for (std::size_t a = 0; a < 8; ++a)
            row.truth[a] = ByteIn(*players_, 2 + static_cast<int>(a), Name(kPotColumns[a]), where, false);
        if (names_) row.names = NamesKeyOf(players_->TextIf(10), players_->TextIf(11));
        if (!aheadRecorded_) aheadRecorded_ = NextRecorded();
        if (aheadRecorded_ && aheadRecorded_->slot < row.slot)
            RecordProblem("names slot " + std::to_string(aheadRecorded_->slot) + ", where Players has no player");
        if (aheadRecorded_ && aheadRecorded_->slot == row.slot) {
            if (aheadRecorded_->pidA != row.pidA || aheadRecorded_->pidB != row.pidB)
                RecordProblem("names another player than " + where());
            row.recorded = true;
            row.written = aheadRecorded_->written;
            row.read = aheadRecorded_->read;
            aheadRecorded_.reset();
        }
        return row;
    } catch (const UnreadableSavedPotentials&) {
        throw;
    } catch (const Error& e) {
        throw UnreadableSavedPotentials(std::string("its Players table cannot be read (") + e.what() + ")", false);
    }
}

void SavedTruth::SetAside(const SavedRow& row) { setAside_.push_back(row); }

void SavedTruth::Close() {
    record_.reset();
    players_.reset();
    database_.reset();
}

const SavedRow* SavedTruth::Match(const FilePlayer& player) {
    if (!database_) return nullptr;
    for (;;) {
        if (!ahead_) {
            ahead_ = NextSaved();
            if (!ahead_) break;
        }
        if (ahead_->slot >= player.slot) break;
        SetAside(*ahead_);
        ahead_.reset();
    }
    if (ahead_ && ahead_->slot == player.slot) {
        if (ahead_->pidA == player.pidA && ahead_->pidB == player.pidB &&
            (ahead_->names == 0 || ahead_->names == player.names)) {
            matched_ = std::move(ahead_);
            ahead_.reset();
            return &*matched_;
        }
        SetAside(*ahead_);
        ahead_.reset();
    }
    return nullptr;
}

bool SavedTruth::AnyLeft() {
    LeftWith(0);
    return !setAside_.empty();
}

bool SavedTruth::LeftWith(std::size_t identity) {
    if (!database_) return false;
    if (leftIdentities_.empty()) {
        for (;;) {
            if (!ahead_) ahead_ = NextSaved();
            if (!ahead_) break;
            SetAside(*ahead_);
            ahead_.reset();
        }
        leftIdentities_.resize(65536);
        for (const SavedRow& row : setAside_) leftIdentities_[std::size_t{row.pidA} * 256 + row.pidB] = true;
    }
    return leftIdentities_[identity];
}

void SavedTruth::MatchMoved(const std::vector<FilePlayer>& waiting_,
                            const std::function<void(const FilePlayer&, const SavedRow&)>& each) {
    if (waiting_.empty() || setAside_.empty()) return;
    // Players and rows by key; a key held by one player and one row matches
    // them. First identity and names (the game moved him), then identity
    // and slot (the game renamed him where he was). A player both renamed
    // and moved is told from a new one who took a retired player's identity
    // by nothing, and is given no row: no player ever gets another's.
    using Found = std::pair<std::size_t, std::size_t>;  // waiting_, setAside_
    std::vector<Found> found;
    std::vector<bool> playerTaken(waiting_.size()), rowTaken(setAside_.size());
    for (const bool withNames : {true, false}) {
        const auto key = [&](std::uint8_t a, std::uint8_t b, std::uint64_t names, std::int64_t slot) {
            return std::pair{std::size_t{a} * 256 + b, withNames ? names : static_cast<std::uint64_t>(slot)};
        };
        std::vector<std::pair<std::pair<std::size_t, std::uint64_t>, std::size_t>> players, rows;
        for (std::size_t i = 0; i < waiting_.size(); ++i)
            if (!playerTaken[i])
                players.push_back({key(waiting_[i].pidA, waiting_[i].pidB, waiting_[i].names, waiting_[i].slot), i});
        for (std::size_t i = 0; i < setAside_.size(); ++i)
            if (!rowTaken[i] && (!withNames || setAside_[i].names != 0))
                rows.push_back({key(setAside_[i].pidA, setAside_[i].pidB, setAside_[i].names, setAside_[i].slot), i});
        std::ranges::sort(players);
        std::ranges::sort(rows);
        const auto count = [](const auto& list, std::size_t at) {
            std::size_t n = 0;
            while (at + n < list.size() && list[at + n].first == list[at].first) ++n;
            return n;
        };
        for (std::size_t p = 0, r = 0; p < players.size() && r < rows.size();) {
            if (players[p].first < rows[r].first) {
                p += count(players, p);
            } else if (rows[r].first < players[p].first) {
                r += count(rows, r);
            } else {
                const std::size_t np = count(players, p), nr = count(rows, r);
                if (np == 1 && nr == 1) {
                    found.emplace_back(players[p].second, rows[r].second);
                    playerTaken[players[p].second] = rowTaken[rows[r].second] = true;
                }
                p += np;
                r += nr;
            }
        }
    }
    std::ranges::sort(found);  // waiting_ is in slot order
    for (const auto& [p, r] : found) each(waiting_[p], setAside_[r]);
}

}  // namespace tavrin
