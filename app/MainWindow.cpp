#include "app/MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/AboutBox.h"
#include "app/FormLayout.h"
#include "app/HistoryWindow.h"
#include "run/History.h"

// The icons are compiled into the program (app/desktop/icons.qrc); a static
// library's resources are registered by name, outside any namespace.
static void RegisterIcons() { Q_INIT_RESOURCE(icons); }

namespace tavrin::app {

namespace {

const char* const kMsgBoxTitle = "Tavrin";

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

QString FromCore(const std::string& text) { return QString::fromStdString(text); }

void MsgBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& detail = QString()) {
    QMessageBox box(icon, kMsgBoxTitle, text, QMessageBox::Ok, parent);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

QIcon ProgramIcon() {
    RegisterIcons();
    QIcon icon;
    for (const char* size : {"32", "64", "256"}) icon.addFile(QStringLiteral(":/icons/tavrin-%1.png").arg(size));
    // The drawing itself where Qt can render SVG (its plugin is optional).
    if (QImageReader::supportedImageFormats().contains("svg")) icon.addFile(QStringLiteral(":/icons/tavrin.svg"));
    return icon;
}

// The status line takes the window's width under the frame; the window is
// that much taller than its 2640 twips, and nothing else moves.
constexpr QRect kStatusLine = TwipsRect(120, 2520, 5550, 360);
constexpr int kClientHeight = 2640 + 360;

// A label of one line that shows as much of its text as fits, ending in "…".
// Its text stays whole: for the tool tip, tests and screen readers.
class StatusLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

// Where the file dialog opens: beside the league chosen last, in any session
// (kept with QSettings). Until there is one, the folder named by the
// environment's TAVRIN_LEAGUE_FOLDER (scripts/run.sh names the demo league's),
// else the user's documents.
const char* const kLastLeagueKey = "FileDialog/LastLeague";

QString DialogStart() {
    const QFileInfo last(QSettings().value(kLastLeagueKey).toString());
    if (!last.filePath().isEmpty()) {
        if (last.isFile()) return last.absoluteFilePath();  // its folder, with it selected
        if (last.absoluteDir().exists()) return last.absolutePath();
    }
    const QString named = qEnvironmentVariable("TAVRIN_LEAGUE_FOLDER");
    if (!named.isEmpty() && QFileInfo(named).isDir()) return QFileInfo(named).absoluteFilePath();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberLeague(const QString& path) { QSettings().setValue(kLastLeagueKey, path); }

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// Why a path given from outside cannot be the league, or nothing when it
// can. Only a file is taken; what it holds is the run's to tell.
QString ProblemWithGiven(const QString& path) {
    const QFileInfo file(path);
    const QString cannot = QStringLiteral("Cannot open the league %1: ").arg(Shown(path));
    if (file.isDir()) return cannot + "it is a folder, not a league file.";
    if (!file.exists()) return cannot + "there is no such file.";
    if (!file.isFile()) return cannot + "it is not a regular file.";
    return {};
}

}  // namespace

// Blocks the window for the length of a run and gives it back however the run
// ends.
class MainWindow::RunGuard {
public:
    explicit RunGuard(MainWindow& form) : form_(form) { form_.SetRunning(true); }
    ~RunGuard() { form_.SetRunning(false); }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    MainWindow& form_;
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

    // Controls in tab order; positions in twips, those of the options, the
    // list and its label inside operationBox_.
    okButton_ = new QPushButton("&OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setGeometry(TwipsRect(4080, 360, 1575, 430));

    cancelButton_ = new QPushButton("&Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setGeometry(TwipsRect(4080, 960, 1575, 430));

    operationBox_ = new QGroupBox(QString(), this);
    operationBox_->setObjectName("operationBox");
    operationBox_->setGeometry(TwipsRect(120, 240, 3735, 2175));

    // One group of three: exactly one option is selected at any time, and its
    // index names the operation.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const std::array<const char*, 3> captions{"Hide Pots", "Ramdomize Pots", "Restore Pots"};
    const std::array<QRect, 3> places{TwipsRect(240, 360, 1215, 375), TwipsRect(240, 720, 1575, 375),
                                      TwipsRect(240, 1080, 1215, 375)};
    for (int i = 0; i < 3; ++i) {
        operationButtons_[i] = new QRadioButton(captions[i], operationBox_);
        operationButtons_[i]->setObjectName(QStringLiteral("operationButton%1").arg(i));
        operationButtons_[i]->setGeometry(places[i]);
        group->addButton(operationButtons_[i], i);
    }
    operationButtons_[static_cast<int>(run::Operation::Hide)]->setChecked(true);

    yearsList_ = new QComboBox(operationBox_);
    yearsList_->setObjectName("yearsList");
    yearsList_->setGeometry(TwipsRect(2040, 600, 1455, 315));
    yearsList_->setEditable(true);
    // Typing never adds an entry; the list holds exactly its ten limits.
    yearsList_->setInsertPolicy(QComboBox::NoInsert);
    yearsList_->setCompleter(nullptr);
    for (const run::YearsChoice& entry : run::kYearsChoices)
        yearsList_->addItem(QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size())), entry.limit);
    yearsList_->setCurrentIndex(-1);
    yearsList_->setEditText("Select Years");

    yearsLabel_ = new QLabel("Hide Pots For:", operationBox_);
    yearsLabel_->setObjectName("yearsLabel");
    yearsLabel_->setGeometry(TwipsRect(2040, 360, 1095, 255));

    // The option buttons and the label are see-through: where the system's
    // face is wider than the forms' own, they grow to the right to show their
    // whole caption instead of clipping it. Nothing stands to their right.
    for (QWidget* caption : {static_cast<QWidget*>(operationButtons_[0]), static_cast<QWidget*>(operationButtons_[1]),
                             static_cast<QWidget*>(operationButtons_[2]), static_cast<QWidget*>(yearsLabel_)})
        caption->resize(std::max(caption->width(), caption->sizeHint().width()), caption->height());

    // The status line: what the last run did, or the league the next OK
    // runs on, with a button back to the file dialog. The button takes no
    // focus (Alt+A reaches it), so Tab still goes OK, Cancel, options, list.
    statusLine_ = new StatusLabel(this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setGeometry(kStatusLine);
    statusLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // A square "?" at the line's end opens the About box (as F1 does).
    aboutButton_ = new QPushButton("?", this);
    aboutButton_->setObjectName("aboutButton");
    aboutButton_->setFocusPolicy(Qt::NoFocus);
    aboutButton_->setToolTip("About Tavrin, and where it keeps its files (F1)");
    aboutButton_->setGeometry(kStatusLine.right() + 1 - kStatusLine.height(), kStatusLine.y(), kStatusLine.height(),
                          kStatusLine.height());
    statusLine_->setFixedWidth(aboutButton_->x() - Px(120) - kStatusLine.x());
    otherLeagueButton_ = new QPushButton("Choose &another league\u2026", this);
    otherLeagueButton_->setObjectName("otherLeagueButton");
    otherLeagueButton_->setFocusPolicy(Qt::NoFocus);
    const int buttonWidth = otherLeagueButton_->sizeHint().width();
    otherLeagueButton_->setGeometry(aboutButton_->x() - Px(60) - buttonWidth, kStatusLine.y(), buttonWidth,
                                kStatusLine.height());
    otherLeagueButton_->hide();
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &MainWindow::ShowAbout);
    AddHistoryButton();

    // OK takes Enter unless another button has the focus; Escape is Cancel
    // (keyPressEvent), as in a dialog.
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    cancelButton_->setAutoDefault(true);
    yearsLabel_->setBuddy(yearsList_);
    const std::array<std::pair<QWidget*, const char*>, 11> names{{
        {okButton_, "OK"}, {cancelButton_, "Cancel"}, {operationBox_, "Operation"}, {operationButtons_[0], "Hide Pots"},
        {operationButtons_[1], "Ramdomize Pots"}, {operationButtons_[2], "Restore Pots"}, {yearsList_, "Hide Pots For"},
        {yearsLabel_, "Hide Pots For:"}, {statusLine_, "Status"}, {otherLeagueButton_, "Choose another league"},
        {aboutButton_, "About Tavrin"},
    }};
    for (const auto& [control, name] : names) control->setAccessibleName(name);

    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, operationButtons_[0]);
    setTabOrder(operationButtons_[0], operationButtons_[1]);
    setTabOrder(operationButtons_[1], operationButtons_[2]);
    setTabOrder(operationButtons_[2], yearsList_);

    connect(okButton_, &QPushButton::clicked, this, &MainWindow::RunChosenOperation);
    connect(cancelButton_, &QPushButton::clicked, this, &MainWindow::Cancel);
    connect(otherLeagueButton_, &QPushButton::clicked, this, &MainWindow::ChooseAnotherLeague);
    connect(aboutButton_, &QPushButton::clicked, this, &MainWindow::ShowAbout);
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) OperationChosen(id);
    });
    // Text typed into the list's field is not an entry: once it differs from
    // the entry shown, no entry is selected, so Hide Pots cannot quietly take
    // a limit the user has typed over.
    connect(yearsList_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        const int index = yearsList_->currentIndex();
        if (index < 0 || yearsList_->itemText(index) == text) return;
        const int cursor = yearsList_->lineEdit()->cursorPosition();
        yearsList_->setCurrentIndex(-1);
        yearsList_->setEditText(text);
        yearsList_->lineEdit()->setCursorPosition(cursor);
    });
}

void MainWindow::OperationChosen(int id) {
    // Only Hide Pots takes a limit; the list keeps its entry while disabled.
    yearsList_->setEnabled(id == static_cast<int>(run::Operation::Hide));
}

void MainWindow::RunChosenOperation() {
    if (running_) return;
    ProcessLeague();
}

void MainWindow::Cancel() { close(); }

void MainWindow::ChooseAnotherLeague() {
    if (running_) return;
    // A cancelled dialog keeps the league that was given.
    const QString chosen = AskForLeague();
    if (!chosen.isEmpty()) SetGivenLeague(chosen);
}

void MainWindow::AddHistoryButton() {
    // At the status line's end, short of a square left free there; the way
    // back to the dialog moves to its left, and the line's text stops short
    // of it. It takes no focus, as that button.
    historyButton_ = new QPushButton("History\u2026", this);
    historyButton_->setObjectName("historyButton");
    historyButton_->setAccessibleName("History");
    historyButton_->setFocusPolicy(Qt::NoFocus);
    // As narrow as its caption allows: the line's text needs the room.
    const int width = std::min(historyButton_->sizeHint().width(),
                               historyButton_->fontMetrics().horizontalAdvance(historyButton_->text()) + Px(240));
    historyButton_->setGeometry(kStatusLine.right() + 1 - kStatusLine.height() - Px(60) - width, kStatusLine.y(), width,
                            kStatusLine.height());
    otherLeagueButton_->move(historyButton_->x() - Px(60) - otherLeagueButton_->width(), kStatusLine.y());
    statusLine_->setFixedWidth(historyButton_->x() - Px(120) - kStatusLine.x());
    connect(historyButton_, &QPushButton::clicked, this, &MainWindow::ShowHistory);
    auto* keys = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
    connect(keys, &QShortcut::activated, this, &MainWindow::ShowHistory);
    UpdateHistoryButton();
}

QString MainWindow::HistoryLeague() const {
    return givenLeague_.isEmpty() ? QSettings().value(kLastLeagueKey).toString() : givenLeague_;
}

void MainWindow::UpdateHistoryButton() {
    const QString league = HistoryLeague();
    historyButton_->setEnabled(!running_ && !league.isEmpty());
    historyButton_->setToolTip(league.isEmpty()
                               ? "The history of a league, once one is chosen (Ctrl+H)"
                               : "The history of " + QFileInfo(league).fileName() +
                                     ": its runs, and its files as they were before each (Ctrl+H)");
}

void MainWindow::ShowHistory() {
    const QString league = HistoryLeague();
    if (running_ || league.isEmpty()) return;
    // Bringing back is a run of this window's, blocked and told as any.
    auto* window = new HistoryWindow(
        league,
        [this](const run::Request& request) {
            const RunGuard guard(*this);
            const run::Outcome outcome = run::RunLeague(request, state_, random_);
            ShowOutcome(outcome);
            return outcome;
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
                MsgBox(this, QMessageBox::Warning,
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
        MsgBox(this, QMessageBox::Warning, "Tavrin works on one league at a time: give it a single league file.");
        return false;
    }
    if (const QString problem = ProblemWithGiven(paths.front()); !problem.isEmpty()) {
        MsgBox(this, QMessageBox::Warning, problem);
        return false;
    }
    SetGivenLeague(QFileInfo(paths.front()).absoluteFilePath());
    return true;
}

void MainWindow::SetGivenLeague(const QString& path) {
    givenLeague_ = path;
    if (!path.isEmpty()) RememberLeague(path);
    otherLeagueButton_->setVisible(!path.isEmpty());
    // The line's text stops short of the button while it shows.
    statusLine_->setFixedWidth((path.isEmpty() ? historyButton_->x() : otherLeagueButton_->x()) - Px(120) - kStatusLine.x());
    ShowStatus(path.isEmpty() ? QString() : "OK will run on " + QFileInfo(path).fileName());
    if (!path.isEmpty()) statusLine_->setToolTip(Shown(path));
    UpdateHistoryButton();
}

QString MainWindow::statusText() const { return statusLine_->text(); }

void MainWindow::ShowStatus(const QString& text) {
    statusLine_->setText(text);
    statusLine_->setToolTip(text);
    statusLine_->setAccessibleDescription(text);
}

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
    UpdateHistoryButton();
    for (QRadioButton* option : operationButtons_) option->setEnabled(!running);
    yearsList_->setEnabled(!running && operationButtons_[static_cast<int>(run::Operation::Hide)]->isChecked());
    otherLeagueButton_->setEnabled(!running);
    aboutButton_->setEnabled(!running);
}

run::Operation MainWindow::SelectedOperation() const {
    for (int i = 0; i < 3; ++i)
        if (operationButtons_[static_cast<std::size_t>(i)]->isChecked()) return static_cast<run::Operation>(i);
    return run::Operation::Hide;
}

std::optional<std::int16_t> MainWindow::SelectedYearsLimit() const {
    const int index = yearsList_->currentIndex();
    if (index < 0 || index >= yearsList_->count()) return std::nullopt;
    return static_cast<std::int16_t>(yearsList_->itemData(index).toInt());
}

void MainWindow::ProcessLeague() {
    const RunGuard guard(*this);

    run::Request request;
    request.operation = SelectedOperation();
    request.yearsLimit = SelectedYearsLimit();
    // The choice is checked first: without a limit there is no run, and
    // nothing is opened.
    if (request.operation == run::Operation::Hide && !request.yearsLimit) {
        MsgBox(this, QMessageBox::Information, "Select Years");
        return;
    }

    // A league given beforehand is used as it is; otherwise it is asked
    // for, and a cancelled dialog ends the run before anything is touched.
    const QString league = givenLeague_.isEmpty() ? AskForLeague() : givenLeague_;
    if (league.isEmpty()) return;
    request.league = ToPath(league);

    ShowOutcome(run::RunLeague(request, state_, random_));
}

QString MainWindow::AskForLeague() {
    const QString chosen = QFileDialog::getOpenFileName(this, "Select League", DialogStart(), "Leagues (*.lge)");
    if (!chosen.isEmpty()) RememberLeague(QFileInfo(chosen).absoluteFilePath());
    return chosen;
}

void MainWindow::ShowOutcome(const run::Outcome& outcome) {
    using Kind = run::Outcome::Kind;
    // A league given beforehand serves one run that got through to its end;
    // the next OK asks again, in the league's folder with it selected. One
    // that was refused stays for another try.
    if (outcome.kind == Kind::Done || outcome.kind == Kind::NothingToDo) SetGivenLeague(QString());
    switch (outcome.kind) {
        case Kind::Done:
            ShowStatus(FromCore(outcome.message));
            break;
        case Kind::NothingToDo:
            ShowStatus(QString());
            MsgBox(this, QMessageBox::Information, FromCore(outcome.message));
            break;
        case Kind::Refused:
            if (outcome.noYearsChosen) MsgBox(this, QMessageBox::Information, FromCore(outcome.message));
            else MsgBox(this, QMessageBox::Warning, FromCore(outcome.message));
            break;
        case Kind::Failed:
            // An error in the operation is the run's "Error"; one in another
            // step names the step. Either way the program ends, the league
            // unsaved.
            if (outcome.inOperation)
                MsgBox(this, QMessageBox::Critical, "Error", FromCore(outcome.message));
            else
                MsgBox(this, QMessageBox::Critical, FromCore(outcome.step + " failed:\n" + outcome.message));
            emit endProgram(1);
            break;
    }
}

}  // namespace tavrin::app
