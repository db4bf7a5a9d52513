#include "window/HistoryWindow.h"

// lib
#include "run/ChangeLine.h"
#include "base/Error.h"
#include "league/Clock.h"
#include "league/ProgramState.h"

// Qt
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

// Std
#include <exception>
#include <string>
#include <utility>

namespace tavrin::window {

namespace fs = std::filesystem;

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }
QString Text(const fs::path& path) { return Text(PathText(path)); }

fs::path PathOf(const QString& path) { return fs::path(QDir::toNativeSeparators(path).toStdU16String()); }

// The columns of the list of runs.
enum Column { kNumber, kTime, kOperation, kChanged, kColumns };

// "run 7 (Hide on 6 Dec 2026 06:00)"
QString RunName(const run::HistoryRun& r) {
    return QStringLiteral("run %1 (%2 on %3)").arg(r.number).arg(Text(r.operation), Text(LocalTimeText(r.time)));
}

}  // namespace

HistoryWindow::HistoryWindow(const QString& league, RunLeague runLeague, QWidget* parent)
    : QDialog(parent), league_(PathOf(league)), history_(league_), runLeague_(std::move(runLeague)) {
    setObjectName("HistoryWindow");
    setWindowTitle("History of " + QFileInfo(league).fileName());
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
    runList_->setAccessibleName("Runs");
    runList_->setColumnCount(kColumns);
    runList_->setHeaderLabels({"Run", "Time", "Operation", "Players changed"});
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

    // One line per player, columns aligned as on a terminal.
    changes_ = new QPlainTextEdit(this);
    changes_->setObjectName("changes");
    changes_->setAccessibleName("Players changed");
    changes_->setReadOnly(true);
    changes_->setLineWrapMode(QPlainTextEdit::NoWrap);
    changes_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    bringBack_ = buttons->addButton("&Bring back\u2026", QDialogButtonBox::ActionRole);
    bringBack_->setObjectName("bringBack");
    bringBack_->setToolTip("Brings back the league's player file and .pot as they were before the selected run");
    // Enter closes; bringing back is asked for by name.
    bringBack_->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where_);
    layout->addWidget(runList_, 2);
    layout->addWidget(run_);
    layout->addWidget(changes_, 3);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(bringBack_, &QPushButton::clicked, this, &HistoryWindow::BringBack);
    connect(runList_, &QTreeWidget::currentItemChanged, this, &HistoryWindow::ShowSelected);

    resize(760, 520);
    Reload(0);
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
        item->setText(kTime, Text(LocalTimeText(r->time)));
        item->setText(kOperation, Text(r->operation));
        item->setText(kChanged, QStringLiteral("%1 of %2").arg(r->changed).arg(r->players));
        item->setData(kNumber, Qt::UserRole, r->number);
        if (!selected || r->number == select) selected = item;
    }
    // Each column as wide as its widest text, and a little apart.
    for (int c = 0; c < kColumns - 1; ++c) {
        runList_->resizeColumnToContents(c);
        runList_->setColumnWidth(c, runList_->columnWidth(c) + 16);
    }
    where_->setText(runs_.empty()
                        ? "No run is kept yet in " + Text(history_.Folder()) +
                              ": each run of Tavrin on this league will be."
                        : QStringLiteral("%1 kept in %2, newest first. Bring back puts the league's files back as "
                                         "they were before the selected run; that is a run too, kept here.")
                              .arg(runs_.size() == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(runs_.size()),
                                   Text(history_.Folder())));
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
    bringBack_->setEnabled(r && !r->keptPyr.empty());
    if (!r) {
        run_->clear();
        changes_->clear();
        return;
    }
    QString text = QStringLiteral("Run %1, %2 on %3, %4 of %5 players changed:\n%6.\n")
                       .arg(r->number)
                       .arg(Text(r->operation), Text(LocalTimeText(r->time)))
                       .arg(r->changed)
                       .arg(r->players)
                       .arg(Text(r->summary));
    QStringList kept;
    for (const fs::path& name : {r->keptPyr, r->keptPot})
        if (!name.empty()) kept << Text(name);
    text += kept.isEmpty() ? QStringLiteral("It kept no file.") : "Kept: " + kept.join(", ") + ".";
    if (r->potWasMissing) text += " There was no " + Text(pot_.filename()) + " before it.";
    run_->setText(text);

    if (r->keptPyr.empty()) {
        changes_->setPlainText("Without the player file from before it, the players it changed cannot be listed.");
        return;
    }
    try {
        bool exact = true;
        const std::vector<run::PlayerChange> players = history_.ChangesOf(*r, pyr_, exact);
        std::string lines;
        if (!exact)
            lines += PathText(pyr_.filename()) +
                     " was written after this run saved it (by the game, or by hand): the list shows those changes "
                     "too.\n";
        if (players.empty()) lines += "No player's potentials changed.";
        else lines += std::string(run::kChangesHeading) + "\n";
        for (const run::PlayerChange& c : players) lines += run::ChangeLine(c) + "\n";
        changes_->setPlainText(Text(lines));
    } catch (const std::exception& e) {
        changes_->setPlainText("The players this run changed cannot be listed: " + Text(std::string(e.what())));
    }
}

void HistoryWindow::BringBack() {
    const run::HistoryRun* r = Selected();
    if (!r || r->keptPyr.empty()) return;
    // As the run will do it: the .pot comes back where the run kept one, and
    // goes where there was none before it; otherwise it stays.
    const QString pyr = Text(pyr_.filename()), pot = Text(pot_.filename());
    const QString question =
        !r->keptPot.empty() ? QStringLiteral("Bring back %1 and %2 as they were before %3?").arg(pyr, pot, RunName(*r))
        : r->potWasMissing  ? QStringLiteral("Bring back %1 as it was before %2, and remove %3, as there was none then?")
                                 .arg(pyr, RunName(*r), pot)
                            : QStringLiteral("Bring back %1 as it was before %2?").arg(pyr, RunName(*r));
    QMessageBox box(QMessageBox::Question, "Tavrin", question, QMessageBox::NoButton, this);
    box.setInformativeText("The files as they are now are kept in the history first, so this can be undone too.");
    QPushButton* yes = box.addButton("Bring back", QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    if (box.clickedButton() != yes) return;

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
