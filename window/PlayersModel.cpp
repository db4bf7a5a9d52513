#include "window/PlayersModel.h"

#include <QCollator>
#include <QGuiApplication>
#include <QPalette>
#include <QSet>

#include <algorithm>
#include <numeric>

#include "window/Texts.h"

namespace tavrin::window {

QString PlayersModel::WhoseText(run::Whose whose) {
    switch (whose) {
        case run::Whose::True: return PlayersModel::tr("true", "the potentials are the player's true ones");
        case run::Whose::Hidden: return PlayersModel::tr("hidden");
        case run::Whose::Randomized: return PlayersModel::tr("randomized");
        case run::Whose::Unknown: break;
    }
    return PlayersModel::tr("unknown");
}

namespace {

bool IsRating(int column) { return column >= PlayersModel::kFirstRating && column < PlayersModel::kFirstPotential; }
bool IsPotential(int column) { return column >= PlayersModel::kFirstPotential && column < PlayersModel::kWhose; }

// The number a numeric column sorts by.
std::int64_t Number(const run::ReportedPlayer& p, int column) {
    if (IsRating(column)) return p.act[static_cast<std::size_t>(column - PlayersModel::kFirstRating)];
    if (IsPotential(column)) return p.pot[static_cast<std::size_t>(column - PlayersModel::kFirstPotential)];
    switch (column) {
        case PlayersModel::kIdentity: return p.pidA * 65536LL + p.pidB;
        case PlayersModel::kPosition: return p.position;
        case PlayersModel::kYears: return p.years;
        case PlayersModel::kWhose: return static_cast<std::int64_t>(p.potentials);
        default: return p.slot;
    }
}

}  // namespace

PlayersModel::PlayersModel(QObject* parent) : QAbstractTableModel(parent) {}

void PlayersModel::SetPlayers(std::vector<run::ReportedPlayer> players) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(players.size());
    for (run::ReportedPlayer& p : players) {
        Row& row = rows_.emplace_back();
        row.first = FromCore(p.firstName);
        row.last = FromCore(p.lastName);
        row.identity = QStringLiteral("%1/%2").arg(p.pidA).arg(p.pidB);
        row.fullName = row.first + QLatin1Char(' ') + row.last;
        row.player = std::move(p);
    }
    ForgetPreview();
    firstKeys_.clear();
    lastKeys_.clear();
    SortOrder();
    Refilter();
    endResetModel();
}

void PlayersModel::SetPreview(const std::vector<run::PlayerChange>& changes) {
    beginResetModel();
    ForgetPreview();
    afters_.reserve(changes.size());
    // The report lists the players in slot order: each change finds his row
    // by its slot.
    for (const run::PlayerChange& change : changes) {
        const auto at = std::lower_bound(rows_.begin(), rows_.end(), change.slot,
                                         [](const Row& row, std::int64_t slot) { return row.player.slot < slot; });
        if (at == rows_.end() || at->player.slot != change.slot) continue;
        if (at->after < 0) ++changed_;
        at->after = static_cast<int>(afters_.size());
        afters_.push_back(change.after);
    }
    preview_ = true;
    Refilter();
    endResetModel();
}

void PlayersModel::ClearPreview() {
    if (!preview_) return;
    beginResetModel();
    ForgetPreview();
    Refilter();
    endResetModel();
}

void PlayersModel::ForgetPreview() {
    for (Row& row : rows_) row.after = -1;
    afters_.clear();
    preview_ = false;
    changed_ = 0;
    onlyChanged_ = false;
}

void PlayersModel::SetNameFilter(const QString& text) {
    if (text == nameFilter_) return;
    beginResetModel();
    nameFilter_ = text;
    Refilter();
    endResetModel();
}

void PlayersModel::SetOnlyChanged(bool only) {
    if (only == onlyChanged_) return;
    beginResetModel();
    onlyChanged_ = only;
    Refilter();
    endResetModel();
}

std::optional<std::array<int, 8>> PlayersModel::PreviewOf(int row) const {
    const Row& r = rows_[shown_[static_cast<std::size_t>(row)]];
    if (r.after < 0) return std::nullopt;
    return afters_[static_cast<std::size_t>(r.after)];
}

bool PlayersModel::Passes(const Row& row) const {
    if (onlyChanged_ && row.after < 0) return false;
    return nameFilter_.isEmpty() || row.fullName.contains(nameFilter_, Qt::CaseInsensitive);
}

void PlayersModel::Refilter() {
    shown_.clear();
    shown_.reserve(order_.size());
    for (const std::uint32_t i : order_)
        if (Passes(rows_[i])) shown_.push_back(i);
}

const std::vector<QCollatorSortKey>& PlayersModel::NameKeys(int column) {
    std::vector<QCollatorSortKey>& keys = column == kFirstName ? firstKeys_ : lastKeys_;
    if (keys.empty() && !rows_.empty()) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        keys.reserve(rows_.size());
        for (const Row& row : rows_) keys.push_back(collator.sortKey(column == kFirstName ? row.first : row.last));
    }
    return keys;
}

void PlayersModel::SortOrder() {
    order_.resize(rows_.size());
    std::iota(order_.begin(), order_.end(), 0u);
    // Players of the same value stay in slot order, whichever way the column sorts.
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    if (sortColumn_ == kFirstName || sortColumn_ == kLastName) {
        const std::vector<QCollatorSortKey>& keys = NameKeys(sortColumn_);
        std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c = keys[a].compare(keys[b]);
            return descending ? c > 0 : c < 0;
        });
        return;
    }
    std::vector<std::int64_t> values(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) values[i] = Number(rows_[i].player, sortColumn_);
    std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? values[a] > values[b] : values[a] < values[b];
    });
}

void PlayersModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumns) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection and the current cell follow their players.
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> players;
    players.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) players.push_back(shown_[static_cast<std::size_t>(index.row())]);

    sortColumn_ = column;
    sortOrder_ = order;
    SortOrder();
    Refilter();

    std::vector<int> rowOf(rows_.size(), -1);
    for (std::size_t r = 0; r < shown_.size(); ++r) rowOf[shown_[r]] = static_cast<int>(r);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf[players[static_cast<std::size_t>(i)]], before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int PlayersModel::WidestName(int column, const QFontMetrics& metrics) const {
    // Names repeat: each is measured once.
    QSet<QString> names;
    for (const Row& row : rows_) names.insert(column == kFirstName ? row.first : row.last);
    int widest = 0;
    for (const QString& name : names) widest = std::max(widest, metrics.horizontalAdvance(name));
    return widest;
}

int PlayersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int PlayersModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant PlayersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[shown_[static_cast<std::size_t>(index.row())]];
    const run::ReportedPlayer& p = row.player;
    const int column = index.column();
    const bool changes = IsPotential(column) && row.after >= 0;
    const std::size_t attribute = static_cast<std::size_t>(column - (IsPotential(column) ? kFirstPotential : kFirstRating));
    switch (role) {
        case Qt::DisplayRole:
            switch (column) {
                case kIdentity: return row.identity;
                case kFirstName: return row.first;
                case kLastName: return row.last;
                case kYears: return YearsText(p.years);
                case kWhose: return WhoseText(p.potentials);
                default: break;
            }
            if (changes)
                return tr("%1 \u2192 %2", "a potential before and after the previewed run")
                    .arg(p.pot[attribute])
                    .arg(afters_[static_cast<std::size_t>(row.after)][attribute]);
            return QVariant(static_cast<qlonglong>(Number(p, column)));
        case kSortRole:
            if (column == kFirstName) return row.first;
            if (column == kLastName) return row.last;
            return QVariant(static_cast<qlonglong>(Number(p, column)));
        case Qt::TextAlignmentRole:
            if (column == kFirstName || column == kLastName || column == kWhose)
                return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (changes) {
                // The highlight, faint enough to read any text colour on it.
                QColor colour = QGuiApplication::palette().color(QPalette::Highlight);
                colour.setAlpha(64);
                return colour;
            }
            return {};
        case Qt::ToolTipRole:
            if (changes)
                return tr("%1 potential: %2 now, %3 after the previewed run")
                    .arg(AttributeName(attribute))
                    .arg(p.pot[attribute])
                    .arg(afters_[static_cast<std::size_t>(row.after)][attribute]);
            return {};
        default: return {};
    }
}

QVariant PlayersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
    const bool rating = IsRating(section), potential = IsPotential(section);
    const std::size_t attribute = static_cast<std::size_t>(section - (potential ? kFirstPotential : kFirstRating));
    if (role == Qt::DisplayRole) {
        // Each rating's code over what it is: a current rating, or a potential.
        if (rating) return tr("%1\nnow", "header: the code of a current rating").arg(AttributeCode(attribute));
        if (potential) return tr("%1\npot", "header: the code of a potential").arg(AttributeCode(attribute));
        switch (section) {
            case kSlot: return tr("Slot");
            case kIdentity: return tr("PID", "header: the player's identity");
            case kFirstName: return tr("First name");
            case kLastName: return tr("Last name");
            case kPosition: return tr("Pos");
            case kYears: return tr("Years");
            default: return tr("Potentials");
        }
    }
    if (role == Qt::ToolTipRole) {
        if (rating) return tr("%1: the current rating").arg(AttributeName(attribute));
        if (potential) return tr("%1: the potential, as the player file holds it").arg(AttributeName(attribute));
        switch (section) {
            case kSlot: return tr("The player's record in the player file, counting from 1");
            case kIdentity: return tr("The player's identity in the game (PID_a/PID_b)");
            case kPosition: return tr("The player's position, as the game numbers it");
            case kYears: return tr("The player's years in the league");
            case kWhose: return tr("Whether the potentials in the player file are the player's true ones, or hidden or "
                                   "randomized by Tavrin");
            default: return {};
        }
    }
    return {};
}

}  // namespace tavrin::window
