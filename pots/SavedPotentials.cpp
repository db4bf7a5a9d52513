#include "pots/SavedPotentials.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>

#include "db/Database.h"
#include "league/PlayersTable.h"
#include "league/Cp1252.h"
#include "league/RecordLayout.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kWrittenTable = "WrittenPotentials";
constexpr std::string_view kRunTable = "SavedRun";
const std::vector<std::string> kRunColumns{"Operation", "SavedAt", "ReadFingerprint", "Fingerprint", "Recorded"};

// The record's columns: slot and identity, then what was written and read.
std::vector<std::string> WrittenColumns() {
    std::vector<std::string> names{"Slot", "PID_a", "PID_b"};
    for (const std::string_view code : kAttributeCodes) names.push_back("Written_" + std::string(code));
    for (const std::string_view code : kAttributeCodes) names.push_back("Read_" + std::string(code));
    return names;
}
constexpr int kWrittenAt = 3, kReadAt = 11, kRecordColumns = 19;

// A statement on a .pot stops after this many steps of the engine for each
// byte of the file (and at least the floor): a plain read of every table
// takes a small part of it, a file made to keep the engine busy for ever
// far more.
constexpr std::uint64_t kStepsPerByte = 16, kStepsAtLeast = 50'000'000;

[[noreturn]] void RecordProblem(const std::string& problem) {
    throw UnreadableSavedPotentials("its record of what Tavrin wrote " + problem, true);
}

// A value of a .pot's row that must be a byte (an identity, a potential).
std::uint8_t ByteIn(const db::Cursor& row, int column, const std::string& name, const std::string& where,
                    bool inRecord) {
    const auto n = row.IntIf(column);
    if (!n || *n < 0 || *n > 255)
        throw UnreadableSavedPotentials(where + ": " + name + " holds " + row.ValueText(column) +
                                            ", which is not a value of the player file",
                                        inRecord);
    return static_cast<std::uint8_t>(*n);
}

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
    // A file that is no SQLite database at all is told so plainly: SQLite's
    // own reason, under our layers' "Cannot open", would repeat the name
    // three times. Its first 16 bytes say what it is; an empty file is an
    // empty database to SQLite.
    {
        std::ifstream in(pot, std::ios::binary);
        if (!in) return "Tavrin cannot read it";
        std::array<char, 16> head{};
        in.read(head.data(), head.size());
        constexpr std::string_view kSqliteMagic("SQLite format 3\0", 16);
        if (in.gcount() != 0 && std::string_view(head.data(), static_cast<std::size_t>(in.gcount())) != kSqliteMagic)
            return "it is not a saved-potentials file";
    }
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

namespace {

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

}  // namespace

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
            if (!database_->HasTable(kWrittenTable) || !database_->HasTable(kRunTable)) {
                if (rows == Rows::Recorded) RecordProblem("is missing");
            } else {
                hasRecord_ = true;
            }
        }
        if (hasRecord_) {
            const std::vector<db::FieldDef> runFields = database_->TableFields(kRunTable);
            for (std::size_t i = 0; i + 1 < kRunColumns.size(); ++i)
                if (db::FindField(runFields, kRunColumns[i]) < 0) RecordProblem("names no " + kRunColumns[i]);
            // A record of an earlier Tavrin does not say how many rows it holds.
            const bool counted = db::FindField(runFields, kRunColumns.back()) >= 0;
            std::vector<std::string> runColumns = kRunColumns;
            if (!counted) runColumns.pop_back();
            auto run = database_->OpenCursor({std::string(kRunTable), {}, runColumns});
            if (!run->Next()) RecordProblem("names no run");
            const auto text = [&](int column) { return std::string(run->TextIf(column).value_or("")); };
            run_ = SavedRun{text(0), text(1), text(2), text(3)};
            if (counted) {
                const auto n = run->IntIf(4);
                if (!n || *n < 0) RecordProblem("gives its length as " + run->ValueText(4));
                recordRows_ = *n;
            }
            if (run->Next()) RecordProblem("names more than one run");

            const std::vector<db::FieldDef> fields = database_->TableFields(kWrittenTable);
            for (const std::string& c : WrittenColumns())
                if (db::FindField(fields, c) < 0) RecordProblem("has no column " + c);
            std::vector<std::string> columns = WrittenColumns();
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

// The next row of the record, checked: slots that grow, bytes where bytes
// belong, and (Rows::Recorded) the Players row of his slot the same player.
std::optional<SavedRow> SavedTruth::NextRecorded() {
    try {
        if (!record_ || !record_->Next()) {
            if (record_ && recordRows_ && *recordRows_ != recordRead_)
                RecordProblem("holds " + std::to_string(recordRead_) + " of its " + std::to_string(*recordRows_) +
                              " rows");
            record_.reset();
            return std::nullopt;
        }
        ++recordRead_;
        const std::string where = "row " + std::to_string(recordRead_) + " of its record of what Tavrin wrote";
        SavedRow row;
        row.recorded = true;
        const auto slot = record_->IntIf(0);
        if (!slot || *slot <= lastRecordSlot_)
            RecordProblem("holds the slot " + record_->ValueText(0) + " in its row " + std::to_string(recordRead_) +
                          ", out of order");
        row.slot = lastRecordSlot_ = *slot;
        const std::vector<std::string> names = WrittenColumns();
        row.pidA = ByteIn(*record_, 1, names[1], where, true);
        row.pidB = ByteIn(*record_, 2, names[2], where, true);
        for (std::size_t a = 0; a < 8; ++a) {
            const int at = static_cast<int>(a);
            row.written[a] = ByteIn(*record_, kWrittenAt + at, names[3 + a], where, true);
            row.read[a] = ByteIn(*record_, kReadAt + at, names[11 + a], where, true);
        }
        if (rows_ == Rows::Recorded) {
            if (record_->IsNull(kRecordColumns + 8))
                RecordProblem("names slot " + std::to_string(row.slot) + " in its row " +
                              std::to_string(recordRead_) + ", where Players has no player");
            const std::string player = "its Players row of slot " + std::to_string(row.slot);
            if (ByteIn(*record_, kRecordColumns + 8, "PID_a", player, true) != row.pidA ||
                ByteIn(*record_, kRecordColumns + 9, "PID_b", player, true) != row.pidB)
                RecordProblem("names another player in its row " + std::to_string(recordRead_) + " than " + player);
            for (std::size_t a = 0; a < 8; ++a)
                row.truth[a] = ByteIn(*record_, kRecordColumns + static_cast<int>(a),
                                      std::string(Name(kPotColumns[a])), player, true);
            if (names_) row.names = NamesKeyOf(record_->TextIf(kRecordColumns + 10), record_->TextIf(kRecordColumns + 11));
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
        const std::string where = "its Players row of slot " + std::to_string(row.slot);
        row.pidA = ByteIn(*players_, 0, "PID_a", where, false);
        row.pidB = ByteIn(*players_, 1, "PID_b", where, false);
        for (std::size_t a = 0; a < 8; ++a)
            row.truth[a] = ByteIn(*players_, 2 + static_cast<int>(a), std::string(Name(kPotColumns[a])), where, false);
        if (names_) row.names = NamesKeyOf(players_->TextIf(10), players_->TextIf(11));
        if (!aheadRecorded_) aheadRecorded_ = NextRecorded();
        if (aheadRecorded_ && aheadRecorded_->slot < row.slot)
            RecordProblem("names slot " + std::to_string(aheadRecorded_->slot) + ", where Players has no player");
        if (aheadRecorded_ && aheadRecorded_->slot == row.slot) {
            if (aheadRecorded_->pidA != row.pidA || aheadRecorded_->pidB != row.pidB)
                RecordProblem("names another player than " + where);
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

// ---------------------------------------------------------------- TruthFirst

SavedTruth TruthFirst::Open(const fs::path& pot, Use use, bool everySaved) {
    try {
        return SavedTruth(pot, use == Use::Restore ? SavedTruth::Rows::Every : SavedTruth::Rows::Recorded, everySaved);
    } catch (UnreadableSavedPotentials& e) {
        e.SetPot(pot);
        throw;
    }
}

TruthFirst::TruthFirst(const fs::path& pot, Use use, bool everySaved)
    : pot_(pot), saved_(Open(pot, use, everySaved)), use_(use), everySaved_(use == Use::Restore && !saved_.HasRecord()) {}

template <typename Step>
auto TruthFirst::Naming(Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (UnreadableSavedPotentials& e) {
        e.SetPot(pot_);
        throw;
    }
}

Potentials TruthFirst::Judged(std::int64_t slot, const SavedRow& row, const Potentials& now) {
    const Judgement j = Judge(row, now, everySaved_);
    gameChanged_ += j.gameChanged;
    tavrins_[static_cast<std::size_t>(slot - 1)] = j.tavrins != 0;
    // Where every saved potential goes back, it does even where the file
    // holds it already: in a Restore from another file, the league's own
    // .pot may have given the player other true potentials meanwhile.
    if (use_ == Use::Restore && (everySaved_ || j.truth != now)) targets_[static_cast<std::size_t>(slot - 1)] = j.truth;
    if (j.truth == now) return now;
    ++broughtBack_;
    return j.truth;
}

RecordHook TruthFirst::Hook() {
    return [this](std::int64_t slot, std::span<std::uint8_t> plain) {
        tavrins_.push_back(false);
        matched_.push_back(false);
        if (use_ == Use::Restore) targets_.emplace_back();
        const SavedTruth::FilePlayer player{slot, plain[OffsetOf(Col::PID_a)], plain[OffsetOf(Col::PID_b)],
                                            NamesKey(plain), PotentialsOf(plain)};
        if (const SavedRow* row = Naming([&] { return saved_.Match(player); })) {
            matched_.back() = true;
            const Potentials truth = Judged(slot, *row, player.now);
            if (use_ == Use::StartFrom) SetPotentials(plain, truth);
            return;
        }
        ++unsaved_;
    };
}

void TruthFirst::Finish(const ProgramState& state) {
    // The players left without a row who may be ones the game moved, read
    // back from the working database: only in a league the game reordered.
    std::vector<SavedTruth::FilePlayer> left;
    if (std::ranges::find(matched_, false) != matched_.end() && Naming([&] { return saved_.AnyLeft(); })) {
        std::vector<Col> read{Col::PID_a, Col::PID_b, Col::FirstName, Col::LastName};
        read.insert(read.end(), kPotColumns.begin(), kPotColumns.end());
        std::vector<std::string> names;
        for (const Col c : read) names.emplace_back(Name(c));
        auto working = db::Database::OpenDatabase(state.WorkingDatabasePath(), db::Database::Mode::ReadOnly);
        auto rows = working->OpenCursor({"Players", {}, names});
        while (rows->Next()) {
            const std::int64_t slot = rows->RowId();
            if (slot < 1 || static_cast<std::size_t>(slot) > matched_.size() ||
                matched_[static_cast<std::size_t>(slot - 1)])
                continue;
            SavedTruth::FilePlayer p{slot, static_cast<std::uint8_t>(rows->IntIn(0, 0, 255)),
                                     static_cast<std::uint8_t>(rows->IntIn(1, 0, 255)), 0, {}};
            if (!saved_.LeftWith(std::size_t{p.pidA} * 256 + p.pidB)) continue;
            p.names = NamesKeyOf(rows->TextIf(2), rows->TextIf(3));
            for (std::size_t a = 0; a < 8; ++a) p.now[a] = static_cast<std::uint8_t>(rows->IntIn(4 + static_cast<int>(a), 0, 255));
            left.push_back(p);
        }
    }
    std::vector<std::pair<std::int64_t, Potentials>> brought;
    saved_.MatchMoved(left, [&](const SavedTruth::FilePlayer& player, const SavedRow& row) {
        --unsaved_;
        const Potentials truth = Judged(player.slot, row, player.now);
        if (use_ == Use::StartFrom && truth != player.now) brought.emplace_back(player.slot, truth);
    });
    if (brought.empty()) return;
    auto working = db::Database::OpenDatabase(state.WorkingDatabasePath());
    db::RowUpdater& update = working->OpenUpdater("Players", ColumnNames(kPotColumns));
    std::array<std::optional<std::int64_t>, 8> values;
    for (const auto& [slot, truth] : brought) {
        for (std::size_t a = 0; a < 8; ++a) values[a] = truth[a];
        update.Update(slot, values);
    }
    working->Close();
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
        rows_->SetField(kWrittenAt + a, std::int64_t{player.written[static_cast<std::size_t>(a)]});
        rows_->SetField(kReadAt + a, std::int64_t{player.read[static_cast<std::size_t>(a)]});
    }
    rows_->Update();
    ++added_;
}

void WrittenRecord::Finish(const SavedRun& run) {
    std::vector<db::FieldDef> fields;
    for (const std::string& c : kRunColumns)
        fields.push_back({c, c == kRunColumns.back() ? db::FieldType::Long : db::FieldType::Text});
    database_->CreateTable(kRunTable, fields);
    db::RowAppender& row = database_->OpenAppender(kRunTable, kRunColumns);
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
