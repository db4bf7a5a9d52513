#include "frmMain.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <limits>
#include <utility>

#include "Error.h"
#include "Forms.h"
#include "mDbase.h"
#include "mLeagueVersion.h"
#include "mPots.h"

namespace {

const char* const kMsgBoxTitle = "Tavrin";

// The experience limits of the list: Hide Pots changes the players whose
// Years is below the entry's item data, so "n yr and less" carries n + 1.
struct YearsEntry {
    const char* text;
    int limit;
};
constexpr std::array<YearsEntry, 10> kYearsEntries{{
    {"All Players", 50},
    {"Rookies", 1},
    {"1 yr and less", 2},
    {"2 yr and less", 3},
    {"3 yr and less", 4},
    {"4 yr and less", 5},
    {"5 yr and less", 6},
    {"6 yr and less", 7},
    {"7 yr and less", 8},
    {"8 yr and less", 9},
}};

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

QString FromCore(const char* text) { return QString::fromUtf8(text); }

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

frmMain::frmMain(tavrin::ProgramState& state, tavrin::RandomSource& random, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      random_(random),
      endProgram_([](int code) { QCoreApplication::exit(code); }) {
    using tavrin::app::Px;
    using tavrin::app::TwipsRect;

    setObjectName("frmMain");
    setFixedSize(Px(5790), Px(2640));
    setFont(tavrin::app::FormFont(8));

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
    optPots[kHidePots]->setChecked(true);

    cboYears = new QComboBox(Frame1);
    cboYears->setObjectName("cboYears");
    cboYears->setGeometry(TwipsRect(2040, 600, 1455, 315));
    cboYears->setEditable(true);
    // Typing never adds an entry; the list holds exactly its ten limits.
    cboYears->setInsertPolicy(QComboBox::NoInsert);
    cboYears->setCompleter(nullptr);
    for (const YearsEntry& entry : kYearsEntries) cboYears->addItem(entry.text, entry.limit);
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

void frmMain::setEndProgram(std::function<void(int)> endProgram) { endProgram_ = std::move(endProgram); }

void frmMain::setFileDialogOptions(QFileDialog::Options options) { fileDialogOptions_ = options; }

void frmMain::Form_Load() {
    // Nothing to prepare: the window starts as laid out above.
}

void frmMain::optPots_Click(int Index) {
    // Only Hide Pots takes a limit; the list keeps its entry while disabled.
    cboYears->setEnabled(Index == kHidePots);
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
    cboYears->setEnabled(!running && optPots[kHidePots]->isChecked());
}

void frmMain::MsgBox(QMessageBox::Icon icon, const QString& text, const QString& detail) {
    QMessageBox box(icon, kMsgBoxTitle, text, QMessageBox::Ok, this);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

void frmMain::ProcessLeague() {
    const RunGuard guard(*this);

    const QString chosen = QFileDialog::getOpenFileName(this, "Select League", sLastFolder_,
                                                        "lge (*.lge)", nullptr, fileDialogOptions_);
    // A cancelled dialog ends the run before anything is touched.
    if (chosen.isEmpty()) return;
    sLastFolder_ = QFileInfo(chosen).absolutePath();
    const std::filesystem::path sLeaguePath = ToPath(chosen);

    // What the run is doing, for the message if it fails.
    QString step = "Reading the league file";
    try {
        tavrin::SetLeaguePaths(state_, sLeaguePath);
        tavrin::ReadLeagueVersion(state_, sLeaguePath);
        switch (state_.iLeagueVersion) {
        case tavrin::kLeagueL03:
            // An "L03:" league is only loaded; it is never saved.
            step = "Loading the league";
            tavrin::ImportLeagueL03(state_, state_.sPyrPath);
            break;
        case tavrin::kLeagueL02:
            step = "Loading the league";
            tavrin::ImportLeagueL02(state_, state_.sPyrPath);
            // Hide and Randomize keep the players as loaded beside the league,
            // for a later Restore; Restore reads that copy and leaves it.
            if (optPots[kHidePots]->isChecked() || optPots[kRandomizePots]->isChecked()) {
                step = "Keeping a copy of the potentials";
                tavrin::CopyWorkingDatabase(state_, state_.sPotPath);
            }
            if (!RunOperation()) break;
            step = "Saving the league";
            tavrin::SaveLeagueL02(state_, state_.sPyrPath);
            break;
        default:
            // Any other tag: not a league Tavrin knows; nothing happens.
            break;
        }
    } catch (const tavrin::Refusal& refusal) {
        MsgBox(QMessageBox::Warning, FromCore(refusal.what()));
    } catch (const std::exception& e) {
        MsgBox(QMessageBox::Critical, step + " failed:\n" + FromCore(e.what()));
        endProgram_(1);
    } catch (...) {
        MsgBox(QMessageBox::Critical, step + " failed for an unknown reason.");
        endProgram_(1);
    }
}

std::int16_t frmMain::SelectedYearsLimit() const {
    const int index = cboYears->currentIndex();
    if (index < 0 || index >= cboYears->count())
        throw tavrin::Error(tavrin::kErrInvalidIndex, "Invalid property array index");
    bool ok = false;
    const int limit = cboYears->itemData(index).toInt(&ok);
    if (!ok || limit < std::numeric_limits<std::int16_t>::min() ||
        limit > std::numeric_limits<std::int16_t>::max())
        throw tavrin::Error(tavrin::kErrOverflow, "Overflow");
    return static_cast<std::int16_t>(limit);
}

bool frmMain::RunOperation() {
    // The run's one error handler: the unselected list entry is answered with
    // "Select Years" and the run ends; any other failure of the operation is
    // "Error" and the end of the program. Either way the league is not saved.
    try {
        if (optPots[kHidePots]->isChecked()) tavrin::HidePots(state_, SelectedYearsLimit());
        if (optPots[kRandomizePots]->isChecked()) tavrin::RandomizePots(state_, random_);
        if (optPots[kRestorePots]->isChecked()) tavrin::RestorePots(state_);
        return true;
    } catch (const tavrin::Error& error) {
        if (error.number() == tavrin::kErrInvalidIndex) {
            MsgBox(QMessageBox::Information, "Select Years");
            return false;
        }
        MsgBox(QMessageBox::Critical, "Error", FromCore(error.what()));
    } catch (const tavrin::Refusal& refusal) {
        MsgBox(QMessageBox::Warning, FromCore(refusal.what()));
        return false;
    } catch (const std::exception& e) {
        MsgBox(QMessageBox::Critical, "Error", FromCore(e.what()));
    } catch (...) {
        MsgBox(QMessageBox::Critical, "Error");
    }
    endProgram_(1);
    return false;
}
