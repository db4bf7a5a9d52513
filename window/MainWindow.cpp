#include "window/MainWindow.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "base/Error.h"
#include "run/History.h"
#include "run/Messages.h"
#include "window/AboutBox.h"
#include "window/FormLayout.h"
#include "window/HelpWindow.h"
#include "window/HistoryWindow.h"
#include "window/LeagueDialog.h"
#include "window/PlayersWindow.h"
#include "window/ProgramIcon.h"
#include "window/StatusLine.h"
#include "window/Texts.h"
#include "window/UndoQuestion.h"

namespace tavrin::window {

namespace {

const char* const kSizeKey = "MainWindow/Size";

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& detail = QString()) {
    QMessageBox box(icon, MainWindow::tr("Tavrin"), text, QMessageBox::Ok, parent);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

// The form the window grew from was 5790 by 2640 twips, with the status
// line's 360 under it: the window is never made smaller than that.
constexpr QSize kFormSize(Px(5790), Px(2640 + 360));

}  // namespace

// Blocks the window for the length of a run and gives it back however the run
// ends, with the focus where it was: a blocked control loses it.
class MainWindow::RunGuard {
public:
    explicit RunGuard(MainWindow& window) : window_(window), focus_(window.focusWidget()) { window_.SetRunning(true); }
    ~RunGuard() {
        window_.SetRunning(false);
        if (focus_ && focus_->isEnabled() && !window_.focusWidget()) focus_->setFocus();
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    MainWindow& window_;
    QPointer<QWidget> focus_;
};

MainWindow::MainWindow(ProgramState& state, RandomSource& random, QWidget* parent)
    : QMainWindow(parent), state_(state), random_(random) {
    setObjectName("MainWindow");
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);

    BuildButtons();
    BuildOperationBox();
    statusLine_ = new StatusLine(this);
    statusLine_->setObjectName("statusArea");
    LayOut();
    BuildMenus();
    SetUpKeys();
    NameForScreenReaders();
    LeagueShownChanged();

    setMinimumSize(kFormSize.expandedTo(minimumSizeHint()));
    // The size the user gave it last time, else the least that shows every
    // caption with room to breathe.
    const QSize saved = QSettings().value(kSizeKey).toSize();
    resize(saved.isValid() ? saved.expandedTo(minimumSize())
                           : sizeHint().expandedTo(QSize(minimumWidth() * 5 / 4, minimumHeight())));
}

void MainWindow::BuildButtons() {
    okButton_ = new QPushButton(tr("&OK"), this);
    okButton_->setObjectName("okButton");
    connect(okButton_, &QPushButton::clicked, this, &MainWindow::RunChosenOperation);

    cancelButton_ = new QPushButton(tr("&Cancel"), this);
    cancelButton_->setObjectName("cancelButton");
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
}

void MainWindow::BuildOperationBox() {
    operationBox_ = new QGroupBox(QString(), this);
    operationBox_->setObjectName("operationBox");

    // One option for each operation with a caption, in the table's order:
    // exactly one is selected at any time.
    operationGroup_ = new QButtonGroup(this);
    operationGroup_->setExclusive(true);
    for (std::size_t row = 0; row < run::kOperations.size(); ++row) {
        const run::OperationFacts& facts = run::kOperations[row];
        if (facts.caption.empty()) continue;
        const int place = static_cast<int>(operationButtons_.size());
        auto* option = new QRadioButton(CoreText(facts.caption), operationBox_);
        option->setObjectName(QStringLiteral("operationButton%1").arg(place));
        operationGroup_->addButton(option, static_cast<int>(row));
        operationButtons_.push_back(option);
    }
    operationGroup_->button(static_cast<int>(run::RowOf(run::Operation::Hide)))->setChecked(true);
    connect(operationGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) OperationChosen(id);
    });

    yearsList_ = new QComboBox(operationBox_);
    yearsList_->setObjectName("yearsList");
    yearsList_->setEditable(true);
    // Typing never adds an entry; the list holds exactly its ten limits.
    yearsList_->setInsertPolicy(QComboBox::NoInsert);
    yearsList_->setCompleter(nullptr);
    for (const run::YearsChoice& entry : run::kYearsChoices) yearsList_->addItem(CoreText(entry.text), entry.limit);
    yearsList_->setCurrentIndex(-1);
    yearsList_->setEditText(CoreText(run::kSelectYears));
    connect(yearsList_->lineEdit(), &QLineEdit::textEdited, this, &MainWindow::YearsTyped);
    connect(yearsList_, &QComboBox::currentIndexChanged, this, &MainWindow::choiceChanged);

    yearsLabel_ = new QLabel(tr("Hide Pots For:"), operationBox_);
    yearsLabel_->setObjectName("yearsLabel");
    yearsLabel_->setBuddy(yearsList_);
}

void MainWindow::LayOut() {
    // The options stand one under another at the frame's left; the list and
    // its label at its right, as in the form they come from.
    auto* box = new QGridLayout(operationBox_);
    for (std::size_t place = 0; place < operationButtons_.size(); ++place)
        box->addWidget(operationButtons_[place], static_cast<int>(place), 0);
    box->addWidget(yearsLabel_, 0, 1);
    box->addWidget(yearsList_, 1, 1);
    box->setColumnStretch(0, 1);
    box->setColumnStretch(1, 1);
    box->setRowStretch(static_cast<int>(operationButtons_.size()), 1);

    // OK and Cancel at the right, at the top: they stay there as the window grows.
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(operationBox_, 1);
    top->addLayout(buttons);

    auto* central = new QWidget(this);
    central->setObjectName("central");
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top, 1);
    layout->addWidget(statusLine_);
    setCentralWidget(central);
}

void MainWindow::BuildMenus() {
    const auto add = [this](QMenu* menu, const QString& text, const char* name, auto slot,
                            const QKeySequence& keys = {}) {
        QAction* action = menu->addAction(text, this, slot);
        action->setObjectName(name);
        action->setShortcut(keys);
        // Reachable by its keys wherever the focus is in the window.
        addAction(action);
        blockedWhileRunning_.push_back(action);
        return action;
    };

    QMenu* league = menuBar()->addMenu(tr("&League"));
    league->setObjectName("leagueMenu");
    add(league, tr("&Open\u2026"), "openAction", &MainWindow::ChooseAnotherLeague, QKeySequence::Open)
        ->setStatusTip(tr("Choose the league OK runs on"));
    recentMenu_ = league->addMenu(tr("Open &Recent"));
    recentMenu_->setObjectName("recentMenu");
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
    league->addSeparator();
    add(league, tr("&Quit"), "quitAction", &QWidget::close, QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->setObjectName("editMenu");
    undoAction_ = add(edit, tr("&Undo Last Run\u2026"), "undoAction", &MainWindow::UndoLastRun, QKeySequence::Undo);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName("viewMenu");
    playersAction_ = add(view, tr("&Players\u2026"), "playersAction", &MainWindow::ShowPlayers,
                         QKeySequence(Qt::CTRL | Qt::Key_L));
    historyAction_ = add(view, tr("&History\u2026"), "historyAction", &MainWindow::ShowHistory,
                         QKeySequence(Qt::CTRL | Qt::Key_H));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName("helpMenu");
    add(help, tr("Tavrin &Help"), "helpAction", &MainWindow::ShowHelp, QKeySequence::HelpContents);
    add(help, tr("&About Tavrin"), "aboutAction", &MainWindow::ShowAbout)->setMenuRole(QAction::AboutRole);
    FillRecentMenu();
}

void MainWindow::FillRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = RecentLeagues();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QAction* entry = recentMenu_->addAction(
            tr("&%1 %2", "a recent league: its number and path").arg(i + 1).arg(QDir::toNativeSeparators(path)));
        connect(entry, &QAction::triggered, this, [this, path] { UseGivenLeagues({path}); });
    }
    if (!recent.isEmpty()) {
        recentMenu_->addSeparator();
        recentMenu_->addAction(tr("&Clear List"), this, [this] {
            ForgetRecentLeagues();
            FillRecentMenu();
        });
    }
    recentMenu_->setEnabled(!recent.isEmpty() && !running_);
}

void MainWindow::SetUpKeys() {
    // OK takes Enter unless another button has the focus; Escape is Cancel
    // (keyPressEvent), as in a dialog.
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    cancelButton_->setAutoDefault(true);

    // Tab goes OK, Cancel, the options, the list; the status line's buttons
    // take no focus.
    std::vector<QWidget*> order{okButton_, cancelButton_};
    order.insert(order.end(), operationButtons_.begin(), operationButtons_.end());
    order.push_back(yearsList_);
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    okButton_->setFocus();

    connect(statusLine_, &StatusLine::otherLeagueClicked, this, &MainWindow::ChooseAnotherLeague);
    connect(statusLine_, &StatusLine::historyClicked, this, &MainWindow::ShowHistory);
    connect(statusLine_, &StatusLine::helpClicked, this, &MainWindow::ShowHelp);
}

void MainWindow::NameForScreenReaders() {
    okButton_->setAccessibleName(tr("OK"));
    cancelButton_->setAccessibleName(tr("Cancel"));
    operationBox_->setAccessibleName(tr("Operation"));
    for (QRadioButton* option : operationButtons_) option->setAccessibleName(option->text());
    yearsList_->setAccessibleName(tr("Hide Pots For"));
    yearsLabel_->setAccessibleName(yearsLabel_->text());
}

void MainWindow::YearsTyped(const QString& text) {
    // Text typed into the list's field is not an entry: once it differs from
    // the entry shown, no entry is selected, so Hide Pots cannot quietly take
    // a limit the user has typed over.
    const int index = yearsList_->currentIndex();
    if (index < 0 || yearsList_->itemText(index) == text) return;
    const int cursor = yearsList_->lineEdit()->cursorPosition();
    yearsList_->setCurrentIndex(-1);
    yearsList_->setEditText(text);
    yearsList_->lineEdit()->setCursorPosition(cursor);
}

void MainWindow::OperationChosen(int id) {
    // Only Hide Pots takes a limit; the list keeps its entry while disabled.
    yearsList_->setEnabled(run::kOperations.at(static_cast<std::size_t>(id)).operation == run::Operation::Hide);
    emit choiceChanged();
}

run::Request MainWindow::ChosenRequest() const {
    run::Request request;
    request.operation = SelectedOperation();
    if (request.operation == run::Operation::Hide) request.yearsLimit = SelectedYearsLimit();
    return request;
}

void MainWindow::RunChosenOperation() {
    if (running_) return;
    const RunGuard guard(*this);
    run::Request request = ChosenRequest();
    // The choice is checked first, as the run checks it: without a limit
    // there is no run, and nothing is opened.
    if (const auto problem = run::ProblemWithRequest(request)) {
        ShowMessage(this, QMessageBox::Information, CoreText(*problem));
        return;
    }

    // A league given beforehand is used as it is; otherwise it is asked
    // for, and a cancelled dialog ends the run before anything is touched.
    const QString league = givenLeague_.isEmpty() ? AskForLeague(this) : givenLeague_;
    if (league.isEmpty()) return;
    request.league = ToPath(league);
    RunAndShow(request);
}

void MainWindow::ChooseAnotherLeague() {
    if (running_) return;
    // A cancelled dialog keeps the league that was given.
    const QString chosen = AskForLeague(this);
    if (!chosen.isEmpty()) SetGivenLeague(QFileInfo(chosen).absoluteFilePath());
}

QString MainWindow::HistoryLeague() const { return givenLeague_.isEmpty() ? LastLeague() : givenLeague_; }

void MainWindow::UndoLastRun() {
    const QString league = HistoryLeague();
    if (running_ || league.isEmpty()) return;
    const LeaguePaths paths = LeaguePaths::Of(ToPath(league));
    const run::History history(paths.league);
    std::vector<run::HistoryRun> runs;
    try {
        runs = history.Runs();
    } catch (const std::exception& e) {
        ShowMessage(this, QMessageBox::Warning, FromCore(e.what()));
        return;
    }
    const QString name = QFileInfo(league).fileName();
    if (runs.empty()) {
        ShowMessage(this, QMessageBox::Information,
                    tr("Nothing to undo: no run of %1 is kept in %2.").arg(name, FromPath(history.Folder())));
        return;
    }
    const run::HistoryRun& last = runs.back();
    if (!CanUndo(last)) {
        ShowMessage(this, QMessageBox::Information,
                    tr("The last run of %1 cannot be undone: the history kept no player file from before it.")
                        .arg(name));
        return;
    }
    if (!ConfirmUndo(this, last, runs, FromPath(paths.playerFile.filename()), FromPath(paths.potFile.filename())))
        return;
    run::Request request;
    request.operation = run::Operation::Undo;
    request.league = paths.league;
    request.undoTo = last.number;
    const RunGuard guard(*this);
    RunAndShow(request);
}

void MainWindow::ShowPlayers() {
    if (running_) return;
    QString league = HistoryLeague();
    if (league.isEmpty()) {
        // Which league's players: the one OK is to run on, chosen now.
        ChooseAnotherLeague();
        league = HistoryLeague();
        if (league.isEmpty()) return;
    }
    if (!players_) {
        players_ = new PlayersWindow(
            [this] { return ChosenRequest(); }, [this](const run::Request& request) { return DryRun(request); },
            this);
        players_->setAttribute(Qt::WA_DeleteOnClose);
        connect(this, &MainWindow::choiceChanged, players_, &PlayersWindow::ChoiceChanged);
        connect(this, &MainWindow::runningChanged, players_, &PlayersWindow::SetRunning);
    }
    players_->ShowLeague(league);
    players_->show();
    players_->raise();
    players_->activateWindow();
}

void MainWindow::ShowHistory() {
    const QString league = HistoryLeague();
    if (running_ || league.isEmpty()) return;
    // An undo is a run of this window's, blocked and told as any.
    auto* window = new HistoryWindow(
        league,
        [this](const run::Request& request) {
            const RunGuard guard(*this);
            return RunAndShow(request);
        },
        this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->open();
}

void MainWindow::ShowHelp() {
    if (!help_) {
        help_ = new HelpWindow(this);
        help_->setAttribute(Qt::WA_DeleteOnClose);
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainWindow::ShowAbout() {
    if (running_) return;
    // The history of the league OK would run on, else of the one chosen last.
    const QString league = HistoryLeague();
    KeptFiles files;
    files.workingDatabase = FromPath(state_.WorkingDatabasePath());
    files.settings = QSettings().fileName();
    if (!league.isEmpty()) files.history = FromPath(run::History(ToPath(league)).Folder());
    AboutBox(files, this).exec();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Reaches the window when the control with the focus has no use for the
    // key: a focused button takes Enter itself, an open list its Escape.
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        okButton_->click();
    } else if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        cancelButton_->click();
    } else {
        QMainWindow::keyPressEvent(event);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!fitting_) FitStatusText();
}

void MainWindow::FitStatusText() {
    // A label that wraps asks for its height only once its width is known,
    // which a window's minimum size never asks: the window asks it here, for
    // the width it has, and makes room.
    QWidget* central = centralWidget();
    if (!central || !central->layout()) return;
    const int frame = height() - central->height();
    const int needed = central->layout()->totalHeightForWidth(central->width()) + frame;
    ++fitting_;
    setMinimumWidth(std::max(kFormSize.width(), minimumSizeHint().width()));
    setMinimumHeight(std::max(kFormSize.height(), needed));
    if (height() < needed) resize(width(), needed);
    --fitting_;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    // Anything with a location is let through to the drop, which says why it
    // is refused; a drop during a run is no drop at all.
    if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (running_ || !event->mimeData()->hasUrls()) return;
    QStringList local, remote;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) local << url.toLocalFile();
        else remote << url.toDisplayString();
    }
    event->acceptProposedAction();
    // Answered once the drop is over: the application the file came from
    // waits for the drop to end, and must not wait for a message box.
    QMetaObject::invokeMethod(
        this,
        [this, local, remote] {
            if (local.isEmpty() && remote.size() == 1)
                ShowMessage(this, QMessageBox::Warning,
                            tr("Cannot open the league %1: it is not a file on this computer.").arg(remote.front()));
            else
                UseGivenLeagues(local + remote);
        },
        Qt::QueuedConnection);
}

bool MainWindow::UseGivenLeagues(const QStringList& paths) {
    if (paths.isEmpty() || running_) return false;
    if (paths.size() > 1) {
        ShowMessage(this, QMessageBox::Warning,
                    tr("Tavrin works on one league at a time: give it a single league file."));
        return false;
    }
    // Checked as the run checks it; what the file holds is the run's to tell.
    const QString league = QFileInfo(paths.front()).absoluteFilePath();
    try {
        run::CheckLeagueFile(ToPath(league));
    } catch (const Refusal& refusal) {
        ShowMessage(this, QMessageBox::Warning, FromCore(refusal.what()));
        return false;
    }
    SetGivenLeague(league);
    return true;
}

void MainWindow::SetGivenLeague(const QString& path) {
    givenLeague_ = path;
    if (!path.isEmpty()) RememberLeague(path);
    statusLine_->ShowGivenLeague(path);
    LeagueShownChanged();
    FitStatusText();
}

void MainWindow::LeagueShownChanged() {
    const QString league = HistoryLeague();
    statusLine_->SetHistoryLeague(league);
    for (QAction* action : {undoAction_, historyAction_}) action->setEnabled(!running_ && !league.isEmpty());
    FillRecentMenu();
    if (players_ && !league.isEmpty()) players_->ShowLeague(league);
}

QString MainWindow::statusText() const { return statusLine_->text(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window must not go away under a run that holds the league's files.
    if (running_) {
        event->ignore();
        return;
    }
    QSettings().setValue(kSizeKey, size());
    event->accept();
}

void MainWindow::SetRunning(bool running) {
    running_ = running;
    okButton_->setEnabled(!running);
    cancelButton_->setEnabled(!running);
    for (QRadioButton* option : operationButtons_) option->setEnabled(!running);
    yearsList_->setEnabled(!running && SelectedOperation() == run::Operation::Hide);
    for (QAction* action : blockedWhileRunning_) action->setEnabled(!running);
    statusLine_->SetRunning(running);
    LeagueShownChanged();
    emit runningChanged(running);
}

run::Operation MainWindow::SelectedOperation() const {
    return run::kOperations.at(static_cast<std::size_t>(operationGroup_->checkedId())).operation;
}

std::optional<std::int16_t> MainWindow::SelectedYearsLimit() const {
    const int index = yearsList_->currentIndex();
    if (index < 0 || index >= yearsList_->count()) return std::nullopt;
    return static_cast<std::int16_t>(yearsList_->itemData(index).toInt());
}

run::Outcome MainWindow::RunAndShow(const run::Request& request) {
    const run::Outcome outcome = run::RunLeague(request, state_, random_);
    ShowOutcome(outcome);
    // What the league holds now is what its players and history show.
    if (players_ && outcome.kind == run::Outcome::Kind::Done) players_->Reload();
    return outcome;
}

run::Outcome MainWindow::DryRun(const run::Request& request) {
    if (running_) {
        run::Outcome busy;
        busy.kind = run::Outcome::Kind::Refused;
        busy.message = tr("Another run is in progress.").toStdString();
        return busy;
    }
    const RunGuard guard(*this);
    return run::RunLeague(request, state_, random_);
}

void MainWindow::ShowOutcome(const run::Outcome& outcome) {
    using Kind = run::Outcome::Kind;
    // A league given beforehand serves one run that got through to its end;
    // the next OK asks again, in the league's folder with it selected. One
    // that was refused stays for another try.
    if (outcome.kind == Kind::Done || outcome.kind == Kind::NothingToDo) SetGivenLeague(QString());
    switch (outcome.kind) {
        case Kind::Done:
            statusLine_->ShowText(FromCore(outcome.message));
            FitStatusText();
            break;
        case Kind::NothingToDo:
            statusLine_->ShowText(QString());
            ShowMessage(this, QMessageBox::Information, FromCore(outcome.message));
            break;
        case Kind::Refused:
            ShowMessage(this, outcome.noYearsChosen ? QMessageBox::Information : QMessageBox::Warning,
                        FromCore(outcome.message));
            break;
        case Kind::Failed:
            // An error in the operation is the run's "Error"; one in another
            // step names the step. Either way the program ends; the message
            // says what became of the league's files.
            if (outcome.inOperation)
                ShowMessage(this, QMessageBox::Critical, tr("Error"), FromCore(outcome.message));
            else
                ShowMessage(this, QMessageBox::Critical,
                            tr("%1 failed:\n%2").arg(FromCore(outcome.step), FromCore(outcome.message)));
            emit endProgram(1);
            break;
    }
}

}  // namespace tavrin::window
