#include "window/HistoryWindow.h"

// lib
#include "base/Error.h"
#include "league/Clock.h"
#include "league/ProgramState.h"
#include "window/FormLayout.h"
#include "window/Texts.h"
#include "window/UndoQuestion.h"

// Qt
#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

// Std
#include <algorithm>
#include <exception>
#include <string>
#include <utility>

namespace tavrin::window {

namespace fs = std::filesystem;

// The players a run changed, a row each: slot, identity, name, years, and
// each potential before and after.
class ChangesModel : public QAbstractTableModel {
public:
    enum Column : int { kSlot, kIdentity, kName, kYears, kFirstPotential, kColumns = kFirstPotential + 8 };

    using QAbstractTableModel::QAbstractTableModel;

    void Set(std::vector<run::PlayerChange> changes) {
        beginResetModel();
        changes_ = std::move(changes);
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(changes_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const run::PlayerChange& c = changes_[static_cast<std::size_t>(index.row())];
        const int column = index.column();
        const std::size_t attribute = static_cast<std::size_t>(column - kFirstPotential);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(column == kName ? Qt::AlignLeft | Qt::AlignVCenter
                                                       : Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::UserRole) {  // what the column sorts by
            switch (column) {
                case kSlot: return QVariant(static_cast<qlonglong>(c.slot));
                case kIdentity: return c.pidA * 65536 + c.pidB;
                case kName: return Name(c);
                case kYears: return c.years;
                default: return c.before[attribute];
            }
        }
        if (role == Qt::ToolTipRole && column >= kFirstPotential)
            return QCoreApplication::translate("HistoryWindow", "%1 potential: %2 before the run, %3 after it")
                .arg(AttributeName(attribute))
                .arg(c.before[attribute])
                .arg(c.after[attribute]);
        if (role != Qt::DisplayRole) return {};
        switch (column) {
            case kSlot: return QVariant(static_cast<qlonglong>(c.slot));
            case kIdentity: return QStringLiteral("%1/%2").arg(c.pidA).arg(c.pidB);
            case kName: return Name(c);
            case kYears: return YearsText(c.years);
            default:
                return QCoreApplication::translate("HistoryWindow", "%1 \u2192 %2", "a potential before and after")
                    .arg(c.before[attribute])
                    .arg(c.after[attribute]);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal) return {};
        const std::size_t attribute = static_cast<std::size_t>(section - kFirstPotential);
        if (role == Qt::ToolTipRole && section >= kFirstPotential)
            return QCoreApplication::translate("HistoryWindow", "%1 potential, before the run \u2192 after it")
                .arg(AttributeName(attribute));
        if (role == Qt::ToolTipRole && section == kIdentity)
            return QCoreApplication::translate("HistoryWindow", "The player's identity in the game (PID_a/PID_b)");
        if (role != Qt::DisplayRole) return {};
        switch (section) {
            case kSlot: return QCoreApplication::translate("HistoryWindow", "Slot");
            case kIdentity: return QCoreApplication::translate("HistoryWindow", "PID", "header: the player's identity");
            case kName: return QCoreApplication::translate("HistoryWindow", "Name");
            case kYears: return QCoreApplication::translate("HistoryWindow", "Years");
            default: return AttributeCode(attribute);
        }
    }

private:
    static QString Name(const run::PlayerChange& c) { return FromCore(c.firstName + " " + c.lastName); }

    std::vector<run::PlayerChange> changes_;
};

namespace {

// The columns of the list of runs.
enum Column { kNumber, kTime, kOperation, kChanged, kColumns };

}  // namespace

HistoryWindow::HistoryWindow(const QString& league, RunLeague runLeague, QWidget* parent)
    : QDialog(parent), league_(ToPath(league)), history_(league_), runLeague_(std::move(runLeague)) {
    setObjectName("HistoryWindow");
    setWindowTitle(tr("History of %1").arg(QFileInfo(league).fileName()));
    // The league's files by the run's own rule (the spelling on disk).
    const LeaguePaths paths = LeaguePaths::Of(league_);
    pyr_ = paths.playerFile;
    pot_ = paths.potFile;

    where_ = new QLabel(this);
    where_->setObjectName("where");
    where_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where_->setWordWrap(true);

    runList_ = new QTreeWidget(this);
    runList_->setObjectName("runs");
    runList_->setAccessibleName(tr("Runs"));
    runList_->setColumnCount(kColumns);
    runList_->setHeaderLabels({tr("Run"), tr("Time"), tr("Operation"), tr("Players changed")});
    runList_->setRootIsDecorated(false);
    runList_->setUniformRowHeights(true);
    runList_->setAllColumnsShowFocus(true);
    runList_->header()->setStretchLastSection(true);
    runList_->header()->setSectionsMovable(false);

    // The selected run's summary may be long: it wraps, and can be copied.
    run_ = new QLabel(this);
    run_->setObjectName("run");
    run_->setWordWrap(true);
    run_->setTextFormat(Qt::PlainText);
    run_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    run_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    changesNote_ = new QLabel(this);
    changesNote_->setObjectName("changesNote");
    changesNote_->setWordWrap(true);

    changes_ = new ChangesModel(this);
    auto* sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(changes_);
    sorted->setSortRole(Qt::UserRole);
    changesView_ = new QTableView(this);
    changesView_->setObjectName("changes");
    changesView_->setAccessibleName(tr("Players changed"));
    changesView_->setModel(sorted);
    SetUpPlayerTable(*changesView_, ChangesModel::kSlot);

    auto* legend = new QLabel(tr("Each potential before the run \u2192 after it. %1.").arg(AttributeLegend()), this);
    legend->setObjectName("legend");
    legend->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("Close"));
    undo_ = buttons->addButton(tr("&Undo\u2026"), QDialogButtonBox::ActionRole);
    undo_->setObjectName("undoButton");
    undo_->setToolTip(tr("Puts the league's player file and .pot back as they were before the selected run"));
    // Enter closes; an undo is asked for by name.
    undo_->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where_);
    layout->addWidget(runList_, 1);
    layout->addWidget(run_);
    layout->addWidget(changesNote_);
    layout->addWidget(changesView_, 3);
    layout->addWidget(legend);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(undo_, &QPushButton::clicked, this, &HistoryWindow::Undo);
    connect(runList_, &QTreeWidget::currentItemChanged, this, &HistoryWindow::ShowSelected);

    Reload(0);
    FitOnScreen(*this, QSize(800, 600));
}

void HistoryWindow::Reload(int select) {
    runs_ = history_.Runs();
    const QSignalBlocker quiet(runList_);
    runList_->clear();
    QTreeWidgetItem* selected = nullptr;
    // Newest first: the run an undo of the last run undoes is on top.
    for (auto r = runs_.rbegin(); r != runs_.rend(); ++r) {
        auto* item = new QTreeWidgetItem(runList_);
        item->setText(kNumber, QString::number(r->number));
        item->setTextAlignment(kNumber, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(kTime, FromCore(LocalTimeText(r->time)));
        item->setText(kOperation, FromCore(r->operation));
        item->setText(kChanged, tr("%1 of %2").arg(r->changed).arg(r->players));
        item->setData(kNumber, Qt::UserRole, r->number);
        if (!selected || r->number == select) selected = item;
    }
    // Each column as wide as its widest text, and a little apart.
    for (int c = 0; c < kColumns - 1; ++c) {
        runList_->resizeColumnToContents(c);
        runList_->setColumnWidth(c, runList_->columnWidth(c) + 16);
    }
    const QString folder = FromPath(history_.Folder());
    where_->setText(runs_.empty() ? tr("No run is kept yet in %1: each run of Tavrin on this league will be.").arg(folder)
                    : runs_.size() == 1
                        ? tr("1 run kept in %1. Undo puts the league's files back as they were before the selected "
                             "run; that is a run too, kept here.")
                              .arg(folder)
                        : tr("%1 runs kept in %2, newest first. Undo puts the league's files back as they were "
                             "before the selected run; that is a run too, kept here.")
                              .arg(runs_.size())
                              .arg(folder));
    runList_->setCurrentItem(selected);
    ShowSelected();
}

const run::HistoryRun* HistoryWindow::Selected() const {
    const QTreeWidgetItem* item = runList_->currentItem();
    if (!item) return nullptr;
    const int number = item->data(kNumber, Qt::UserRole).toInt();
    for (const run::HistoryRun& r : runs_)
        if (r.number == number) return &r;
    return nullptr;
}

void HistoryWindow::ShowSelected() {
    const run::HistoryRun* r = Selected();
    undo_->setEnabled(r && CanUndo(*r));
    changes_->Set({});
    changesNote_->clear();
    if (!r) {
        run_->clear();
        return;
    }
    QString text = tr("Run %1, %2 on %3, %4 of %5 players changed:\n%6.\n")
                       .arg(r->number)
                       .arg(FromCore(r->operation), FromCore(LocalTimeText(r->time)))
                       .arg(r->changed)
                       .arg(r->players)
                       .arg(FromCore(r->summary));
    QStringList kept;
    for (const fs::path& name : {r->keptPyr, r->keptPot})
        if (!name.empty()) kept << FromPath(name);
    text += kept.isEmpty() ? tr("It kept no file.") : tr("Kept: %1.").arg(kept.join(tr(", ")));
    if (r->potWasMissing) text += " " + tr("There was no %1 before it.").arg(FromPath(pot_.filename()));
    run_->setText(text);

    if (!CanUndo(*r)) {
        changesNote_->setText(tr("Without the player file from before it, the players it changed cannot be listed."));
        return;
    }
    try {
        bool exact = true;
        std::vector<run::PlayerChange> players = history_.ChangesOf(*r, pyr_, exact);
        QString note = players.empty() ? tr("No player's potentials changed.")
                                       : tr("The players whose potentials it changed:");
        if (!exact)
            note = tr("%1 was written after this run saved it (by the game, or by hand): the list shows those "
                      "changes too.")
                       .arg(FromPath(pyr_.filename())) +
                   " " + note;
        changesNote_->setText(note);
        // Names whole: the name column as wide as the widest of them all,
        // not of the rows a view samples.
        QSet<QString> names;
        for (const run::PlayerChange& c : players) names.insert(FromCore(c.firstName + " " + c.lastName));
        int nameWidth = 0;
        for (const QString& name : names) nameWidth = std::max(nameWidth, changesView_->fontMetrics().horizontalAdvance(name));
        changes_->Set(std::move(players));
        changesView_->resizeColumnsToContents();
        changesView_->setColumnWidth(
            ChangesModel::kName,
            std::max(changesView_->columnWidth(ChangesModel::kName), nameWidth + changesView_->fontMetrics().averageCharWidth() * 2));
    } catch (const std::exception& e) {
        changesNote_->setText(tr("The players this run changed cannot be listed: %1").arg(FromCore(e.what())));
    }
}

void HistoryWindow::Undo() {
    const run::HistoryRun* r = Selected();
    if (!r || !CanUndo(*r)) return;
    if (!ConfirmUndo(this, *r, runs_, FromPath(pyr_.filename()), FromPath(pot_.filename()))) return;

    run::Request request;
    request.operation = run::Operation::Undo;
    request.league = league_;
    request.undoTo = r->number;
    const int number = r->number;
    const run::Outcome outcome = runLeague_(request);
    // Done: the undo is the newest run, shown with its summary.
    Reload(outcome.kind == run::Outcome::Kind::Done ? outcome.historyRun : number);
}

}  // namespace tavrin::window
