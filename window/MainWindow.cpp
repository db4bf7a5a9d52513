#include "window/MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShortcut>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "window/AboutBox.h"
#include "window/FormLayout.h"
#include "window/HistoryWindow.h"
#include "window/LeagueDialog.h"
#include "window/ProgramIcon.h"
#include "window/StatusLine.h"
#include "base/Error.h"
#include "run/History.h"
#include "run/Messages.h"

namespace tavrin::window {

namespace {

const char* const kMessageTitle = "Tavrin";

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

QString FromCore(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& detail = QString()) {
    QMessageBox box(icon, kMessageTitle, text, QMessageBox::Ok, parent);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

// The status line takes the window's width under the frame; the window is
// that much taller than its 2640 twips, and nothing else moves.
constexpr QRect kStatusLine = TwipsRect(120, 2520, 5550, 360);
constexpr int kClientHeight = 2640 + 360;

// The operation options stand one under another at the frame's left, each as
// wide as the widest caption of the forms' face.
constexpr QRect OptionPlace(int place) { return TwipsRect(240, 360 + 360 * place, 1575, 375); }

}  // namespace

// Blocks the window for the length of a run and gives it back however the run
// ends.
class MainWindow::RunGuard {
public:
    explicit RunGuard(MainWindow& window) : window_(window) { window_.SetRunning(true); }
    ~RunGuard() { window_.SetRunning(false); }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    MainWindow& window_;
};

MainWindow::MainWindow(ProgramState& state, RandomSource& random, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      random_(random) {
    setObjectName("MainWindow");
    setFixedSize(Px(5790), Px(kClientHeight));
    setFont(FormFont(8));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);

    BuildButtons();
    BuildOperationBox();
    BuildStatusLine();
    SetUpKeys();
    NameForScreenReaders();
}

// Positions are in twips; those of the options, the list and its label are
// inside the operation box.

void MainWindow::BuildButtons() {
    okButton_ = new QPushButton("&OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setGeometry(TwipsRect(4080, 360, 1575, 430));
    connect(okButton_, &QPushButton::clicked, this, &MainWindow::RunChosenOperation);

    cancelButton_ = new QPushButton("&Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setGeometry(TwipsRect(4080, 960, 1575, 430));
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
}

void MainWindow::BuildOperationBox() {
    operationBox_ = new QGroupBox(QString(), this);
    operationBox_->setObjectName("operationBox");
    operationBox_->setGeometry(TwipsRect(120, 240, 3735, 2175));

    // One option for each operation with a caption, in the table's order:
    // exactly one is selected at any time.
    operationGroup_ = new QButtonGroup(this);
    operationGroup_->setExclusive(true);
    for (std::size_t row = 0; row < run::kOperations.size(); ++row) {
        const run::OperationFacts& facts = run::kOperations[row];
        if (facts.caption.empty()) continue;
        const int place = static_cast<int>(operationButtons_.size());
        auto* option = new QRadioButton(FromCore(facts.caption), operationBox_);
        option->setObjectName(QStringLiteral("operationButton%1").arg(place));
        option->setGeometry(OptionPlace(place));
        operationGroup_->addButton(option, static_cast<int>(row));
        operationButtons_.push_back(option);
    }
    operationGroup_->button(static_cast<int>(run::RowOf(run::Operation::Hide)))->setChecked(true);
    connect(operationGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) OperationChosen(id);
    });

    yearsList_ = new QComboBox(operationBox_);
    yearsList_->setObjectName("yearsList");
    yearsList_->setGeometry(TwipsRect(2040, 600, 1455, 315));
    yearsList_->setEditable(true);
    // Typing never adds an entry; the list holds exactly its ten limits.
    yearsList_->setInsertPolicy(QComboBox::NoInsert);
    yearsList_->setCompleter(nullptr);
    for (const run::YearsChoice& entry : run::kYearsChoices) yearsList_->addItem(FromCore(entry.text), entry.limit);
    yearsList_->setCurrentIndex(-1);
    yearsList_->setEditText(FromCore(run::kSelectYears));
    connect(yearsList_->lineEdit(), &QLineEdit::textEdited, this, &MainWindow::YearsTyped);

    yearsLabel_ = new QLabel("Hide Pots For:", operationBox_);
    yearsLabel_->setObjectName("yearsLabel");
    yearsLabel_->setGeometry(TwipsRect(2040, 360, 1095, 255));
    yearsLabel_->setBuddy(yearsList_);

    // The option buttons and the label are see-through: where the system's
    // face is wider than the forms' own, they grow to the right to show their
    // whole caption instead of clipping it. Nothing stands to their right.
    std::vector<QWidget*> captions(operationButtons_.begin(), operationButtons_.end());
    captions.push_back(yearsLabel_);
    for (QWidget* caption : captions)
        caption->resize(std::max(caption->width(), caption->sizeHint().width()), caption->height());
}

void MainWindow::BuildStatusLine() {
    statusLine_ = new StatusLine(this, kStatusLine);
    statusLine_->SetHistoryLeague(HistoryLeague());
    connect(statusLine_, &StatusLine::otherLeagueClicked, this, &MainWindow::ChooseAnotherLeague);
    connect(statusLine_, &StatusLine::historyClicked, this, &MainWindow::ShowHistory);
    connect(statusLine_, &StatusLine::aboutClicked, this, &MainWindow::ShowAbout);
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

    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, &MainWindow::ShowAbout);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this), &QShortcut::activated, this,
            &MainWindow::ShowHistory);
}

void MainWindow::NameForScreenReaders() {
    okButton_->setAccessibleName("OK");
    cancelButton_->setAccessibleName("Cancel");
    operationBox_->setAccessibleName("Operation");
    for (QRadioButton* option : operationButtons_) option->setAccessibleName(option->text());
    yearsList_->setAccessibleName("Hide Pots For");
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
}

void MainWindow::RunChosenOperation() {
    if (running_) return;
    const RunGuard guard(*this);
    run::Request request;
    request.operation = SelectedOperation();
    request.yearsLimit = SelectedYearsLimit();
    // The choice is checked first: without a limit there is no run, and
    // nothing is opened.
    if (request.operation == run::Operation::Hide && !request.yearsLimit) {
        ShowMessage(this, QMessageBox::Information, FromCore(run::kSelectYears));
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
    if (!chosen.isEmpty()) SetGivenLeague(chosen);
}

QString MainWindow::HistoryLeague() const { return givenLeague_.isEmpty() ? LastLeague() : givenLeague_; }

void MainWindow::ShowHistory() {
    const QString league = HistoryLeague();
    if (running_ || league.isEmpty()) return;
    // Bringing back is a run of this window's, blocked and told as any.
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

void MainWindow::ShowAbout() {
    if (running_) return;
    // The history of the league OK would run on, else of the one chosen last.
    const QString league = HistoryLeague();
    KeptFiles files;
    files.workingDatabase = QString::fromStdU16String(state_.WorkingDatabasePath().u16string());
    files.settings = QSettings().fileName();
    if (!league.isEmpty()) files.history = QString::fromStdU16String(run::History(ToPath(league)).Folder().u16string());
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
        QWidget::keyPressEvent(event);
    }
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
                            QStringLiteral("Cannot open the league %1: it is not a file on this computer.")
                                .arg(remote.front()));
            else
                UseGivenLeagues(local + remote);
        },
        Qt::QueuedConnection);
}

bool MainWindow::UseGivenLeagues(const QStringList& paths) {
    if (paths.isEmpty() || running_) return false;
    if (paths.size() > 1) {
        ShowMessage(this, QMessageBox::Warning, "Tavrin works on one league at a time: give it a single league file.");
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
    statusLine_->SetHistoryLeague(HistoryLeague());
}

QString MainWindow::statusText() const { return statusLine_->text(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window must not go away under a run that holds the league's files.
    if (running_)
        event->ignore();
    else
        event->accept();
}

void MainWindow::SetRunning(bool running) {
    running_ = running;
    okButton_->setEnabled(!running);
    cancelButton_->setEnabled(!running);
    for (QRadioButton* option : operationButtons_) option->setEnabled(!running);
    yearsList_->setEnabled(!running && SelectedOperation() == run::Operation::Hide);
    statusLine_->SetRunning(running);
    statusLine_->SetHistoryLeague(HistoryLeague());
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
    return outcome;
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
                ShowMessage(this, QMessageBox::Critical, "Error", FromCore(outcome.message));
            else
                ShowMessage(this, QMessageBox::Critical, FromCore(outcome.step + " failed:\n" + outcome.message));
            emit endProgram(1);
            break;
    }
}

}  // namespace tavrin::window
