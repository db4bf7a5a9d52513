#include "pots/TruthFirst.h"

#include <algorithm>
#include <array>

#include "db/Database.h"
#include "league/WorkingDatabase.h"
#include "league/PlayersTable.h"
#include "league/RecordLayout.h"

namespace tavrin {

namespace fs = std::filesystem;

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
    if (use_ == Use::Restore && (everySaved_ || j.truth != now)) restoring_[static_cast<std::size_t>(slot - 1)] = true;
    truth_[static_cast<std::size_t>(slot - 1)] = j.truth;
    if (j.truth == now) return now;
    ++broughtBack_;
    return j.truth;
}

RecordHook TruthFirst::Hook(std::int64_t players) {
    const auto n = static_cast<std::size_t>(std::max<std::int64_t>(players, 0));
    tavrins_.reserve(n);
    matched_.reserve(n);
    truth_.reserve(n);
    if (use_ == Use::Restore) restoring_.reserve(n);
    return [this](std::int64_t slot, std::span<std::uint8_t> plain) {
        tavrins_.push_back(false);
        matched_.push_back(false);
        if (use_ == Use::Restore) restoring_.push_back(false);
        const SavedTruth::FilePlayer player{slot, plain[OffsetOf(Col::PID_a)], plain[OffsetOf(Col::PID_b)],
                                            NamesKey(plain), PotentialsOf(plain)};
        truth_.push_back(player.now);
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
        auto working = OpenWorkingDatabase(state, db::Database::Mode::ReadOnly);
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
    saved_.Close();
    if (brought.empty()) return;
    auto working = OpenWorkingDatabase(state);
    db::RowUpdater& update = working->OpenUpdater("Players", ColumnNames(kPotColumns));
    std::array<std::optional<std::int64_t>, 8> values;
    for (const auto& [slot, truth] : brought) {
        for (std::size_t a = 0; a < 8; ++a) values[a] = truth[a];
        update.Update(slot, values);
    }
    working->Close();
}

Potentials TruthFirst::TruthOf(std::int64_t slot) const { return truth_.at(static_cast<std::size_t>(slot - 1)); }

bool TruthFirst::Tavrins(std::int64_t slot) const {
    const auto i = static_cast<std::size_t>(slot - 1);
    return i < tavrins_.size() && tavrins_[i];
}

}  // namespace tavrin
