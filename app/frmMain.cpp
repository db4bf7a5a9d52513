#include "app/frmMain.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <filesystem>

#include "app/Forms.h"

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

}  // namespace

// Blocks the window for the length of a run and gives it back however the run
// ends.
class frmMain::RunGuard {
public:
    explicit RunGuard(frmMain& form) : form_(form) { form_.SetRunning(true); }
    ~RunGuard() { form_.SetRunning(false); }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    frmMain& form_;
};

frmMain::frmMain(ProgramState& state, RandomSource& random, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      random_(random) {

    setObjectName("frmMain");
    setFixedSize(Px(5790), Px(2640));
    setFont(FormFont(8));

    // Controls in tab order; positions in twips, those of the options, the
    // list and its label inside Frame1.
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(TwipsRect(4080, 360, 1575, 430));

    cmdCancel = new QPushButton("&Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setGeometry(TwipsRect(4080, 960, 1575, 430));

    Frame1 = new QGroupBox(QString(), this);
    Frame1->setObjectName("Frame1");
    Frame1->setGeometry(TwipsRect(120, 240, 3735, 2175));

    // One group of three: exactly one option is selected at any time, and its
    // index names the operation.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const std::array<const char*, 3> captions{"Hide Pots", "Ramdomize Pots", "Restore Pots"};
    const std::array<QRect, 3> places{TwipsRect(240, 360, 1215, 375), TwipsRect(240, 720, 1575, 375),
                                      TwipsRect(240, 1080, 1215, 375)};
    for (int i = 0; i < 3; ++i) {
        optPots[i] = new QRadioButton(captions[i], Frame1);
        optPots[i]->setObjectName(QStringLiteral("optPots%1").arg(i));
        optPots[i]->setGeometry(places[i]);
        group->addButton(optPots[i], i);
    }
    optPots[static_cast<int>(run::Operation::Hide)]->setChecked(true);

    cboYears = new QComboBox(Frame1);
    cboYears->setObjectName("cboYears");
    cboYears->setGeometry(TwipsRect(2040, 600, 1455, 315));
    cboYears->setEditable(true);
    // Typing never adds an entry; the list holds exactly its ten limits.
    cboYears->setInsertPolicy(QComboBox::NoInsert);
    cboYears->setCompleter(nullptr);
    for (const run::YearsChoice& entry : run::kYearsChoices)
        cboYears->addItem(QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size())), entry.limit);
    cboYears->setCurrentIndex(-1);
    cboYears->setEditText("Select Years");

    Label1 = new QLabel("Hide Pots For:", Frame1);
    Label1->setObjectName("Label1");
    Label1->setGeometry(TwipsRect(2040, 360, 1095, 255));

    // The option buttons and the label are see-through: where the system's
    // face is wider than the forms' own, they grow to the right to show their
    // whole caption instead of clipping it. Nothing stands to their right.
    for (QWidget* caption : {static_cast<QWidget*>(optPots[0]), static_cast<QWidget*>(optPots[1]),
                             static_cast<QWidget*>(optPots[2]), static_cast<QWidget*>(Label1)})
        caption->resize(std::max(caption->width(), caption->sizeHint().width()), caption->height());

    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, optPots[0]);
    setTabOrder(optPots[0], optPots[1]);
    setTabOrder(optPots[1], optPots[2]);
    setTabOrder(optPots[2], cboYears);

    connect(cmdOK, &QPushButton::clicked, this, &frmMain::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) optPots_Click(id);
    });
    // Text typed into the list's field is not an entry: once it differs from
    // the entry shown, no entry is selected, so Hide Pots cannot quietly take
    // a limit the user has typed over.
    connect(cboYears->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        const int index = cboYears->currentIndex();
        if (index < 0 || cboYears->itemText(index) == text) return;
        const int cursor = cboYears->lineEdit()->cursorPosition();
        cboYears->setCurrentIndex(-1);
        cboYears->setEditText(text);
        cboYears->lineEdit()->setCursorPosition(cursor);
    });

    Form_Load();
}

void frmMain::Form_Load() {
    // Nothing to prepare: the window starts as laid out above.
}

void frmMain::optPots_Click(int Index) {
    // Only Hide Pots takes a limit; the list keeps its entry while disabled.
    cboYears->setEnabled(Index == static_cast<int>(run::Operation::Hide));
}

void frmMain::cmdOK_Click() {
    if (fRunning_) return;
    ProcessLeague();
}

void frmMain::cmdCancel_Click() { close(); }

void frmMain::closeEvent(QCloseEvent* event) {
    // The window must not go away under a run that holds the league's files.
    if (fRunning_)
        event->ignore();
    else
        event->accept();
}

void frmMain::SetRunning(bool running) {
    fRunning_ = running;
    cmdOK->setEnabled(!running);
    cmdCancel->setEnabled(!running);
    for (QRadioButton* option : optPots) option->setEnabled(!running);
    cboYears->setEnabled(!running && optPots[static_cast<int>(run::Operation::Hide)]->isChecked());
}

run::Operation frmMain::SelectedOperation() const {
    for (int i = 0; i < 3; ++i)
        if (optPots[static_cast<std::size_t>(i)]->isChecked()) return static_cast<run::Operation>(i);
    return run::Operation::Hide;
}

std::optional<std::int16_t> frmMain::SelectedYearsLimit() const {
    const int index = cboYears->currentIndex();
    if (index < 0 || index >= cboYears->count()) return std::nullopt;
    return static_cast<std::int16_t>(cboYears->itemData(index).toInt());
}

void frmMain::ProcessLeague() {
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

    const QString chosen = QFileDialog::getOpenFileName(this, "Select League", sLastFolder_, "lge (*.lge)");
    // A cancelled dialog ends the run before anything is touched.
    if (chosen.isEmpty()) return;
    sLastFolder_ = QFileInfo(chosen).absolutePath();
    request.league = ToPath(chosen);

    ShowOutcome(run::RunLeague(request, state_, *this, random_));
}

void frmMain::ShowOutcome(const run::Outcome& outcome) {
    using Kind = run::Outcome::Kind;
    switch (outcome.kind) {
        case Kind::Done:
        case Kind::Cancelled:
        case Kind::NothingToDo:
            break;
        case Kind::Refused:
            if (outcome.message == "Select Years") MsgBox(this, QMessageBox::Information, "Select Years");
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

bool frmMain::GoOnWhileStillHidden(const run::StillHidden& found) {
    QMessageBox box(QMessageBox::Warning, kMsgBoxTitle, FromCore(run::StillHiddenText(found)), QMessageBox::NoButton,
                    this);
    const QString goOn = found.now == run::Operation::Hide ? "&Hide Anyway" : "&Randomize Anyway";
    QPushButton* anyway = box.addButton(goOn, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == anyway;
}

}  // namespace tavrin::app
