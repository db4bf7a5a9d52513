#pragma once

// The league's players as a table for the Players window, one row per
// player as run::ReportLeague reports him (the same report `tavrin show`
// prints): slot, identity, names, position, years, the eight current
// ratings, the eight potentials and whose the potentials are.
//
// The model sorts and filters itself: a league holds up to 65,536 players,
// and sorting an index of them by the raw numbers (names by collation keys
// made once) is many times faster than a proxy comparing QVariants. A
// preview marks the players a dry run would change, with their potentials
// before and after.

#include <QAbstractTableModel>
#include <QCollatorSortKey>
#include <QFontMetrics>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "run/LeagueReport.h"
#include "run/PlayerChange.h"

namespace tavrin::window {

class PlayersModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column : int {
        kSlot,
        kIdentity,
        kFirstName,
        kLastName,
        kPosition,
        kYears,
        kFirstRating,
        kFirstPotential = kFirstRating + 8,
        kWhose = kFirstPotential + 8,
        kColumns
    };
    // The raw value of a cell, for sorting and tests: a number, or a name.
    static constexpr int kSortRole = Qt::UserRole;

    explicit PlayersModel(QObject* parent = nullptr);

    // Replaces every player (in slot order, as the report gives them); the
    // preview goes, the sort and the filter stay.
    void SetPlayers(std::vector<run::ReportedPlayer> players);
    // Marks the players of a dry run's changes, by slot; ClearPreview
    // unmarks them all.
    void SetPreview(const std::vector<run::PlayerChange>& changes);
    void ClearPreview();
    bool hasPreview() const { return preview_; }
    // Shows only the players whose first and last name, as "First Last",
    // contain the text (case aside); an empty text shows everyone.
    void SetNameFilter(const QString& text);
    // Shows only the players the preview changes.
    void SetOnlyChanged(bool only);

    // "true", "hidden", "randomized", "unknown", as the Potentials column shows them.
    static QString WhoseText(run::Whose whose);

    int players() const { return static_cast<int>(rows_.size()); }
    // The last player's slot (0 without players), and the widest first or
    // last name (the column) in these metrics: what the columns must hold.
    std::int64_t lastSlot() const { return rows_.empty() ? 0 : rows_.back().player.slot; }
    int WidestName(int column, const QFontMetrics& metrics) const;
    int changed() const { return changed_; }
    const run::ReportedPlayer& PlayerAt(int row) const { return rows_[shown_[static_cast<std::size_t>(row)]].player; }
    // The potentials after the previewed run, for a player it changes.
    std::optional<std::array<int, 8>> PreviewOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Row {
        run::ReportedPlayer player;
        QString first, last, identity, fullName;
        int after = -1;  // index into afters_ where the preview changes him
    };

    // Unmarks every player; "only the players it would change" goes with it.
    void ForgetPreview();
    // Rebuilds the rows shown from the sorted order and the filters.
    void Refilter();
    bool Passes(const Row& row) const;
    void SortOrder();
    // A name column's collation keys, made on the first sort by it.
    const std::vector<QCollatorSortKey>& NameKeys(int column);

    std::vector<Row> rows_;                    // in slot order
    std::vector<std::array<int, 8>> afters_;   // the preview's potentials after
    std::vector<std::uint32_t> order_;         // every row, sorted
    std::vector<std::uint32_t> shown_;         // the rows shown, sorted
    std::vector<QCollatorSortKey> firstKeys_, lastKeys_;
    int sortColumn_ = kSlot;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QString nameFilter_;
    bool onlyChanged_ = false;
    bool preview_ = false;
    int changed_ = 0;
};

}  // namespace tavrin::window
