#pragma once

// The main window: choose an operation (and for Hide Pots the experience
// limit), press OK, pick a league. One press of OK is one run, done by the
// run core (run/Run.h): the window asks, calls and shows what came of it.

#include <QString>
#include <QWidget>

#include <array>
#include <optional>

#include "league/mGlobal.h"
#include "pots/RandomSource.h"
#include "run/Run.h"

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tavrin::app {

class frmMain : public QWidget, private run::Host {
    Q_OBJECT

public:
    frmMain(ProgramState& state, RandomSource& random, QWidget* parent = nullptr);

    bool isRunning() const { return fRunning_; }

signals:
    // A run stopped part-way with an error: the program must end, with this
    // exit status. Start-up ends the event loop; a test may watch instead.
    void endProgram(int code);

public slots:
    void optPots_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class RunGuard;

    void Form_Load();
    void ProcessLeague();
    // The chosen operation, and for Hide the selected entry's limit (none
    // when no entry is chosen).
    run::Operation SelectedOperation() const;
    std::optional<std::int16_t> SelectedYearsLimit() const;
    // Shows what came of a run.
    void ShowOutcome(const run::Outcome& outcome);
    bool GoOnWhileStillHidden(const run::StillHidden& found) override;
    // While a run is in progress the choices and buttons are blocked.
    void SetRunning(bool running);

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 3> optPots{};
    QComboBox* cboYears = nullptr;
    QLabel* Label1 = nullptr;

    ProgramState& state_;
    RandomSource& random_;
    QString sLastFolder_;  // where the file dialog opens next
    bool fRunning_ = false;
};

}  // namespace tavrin::app
