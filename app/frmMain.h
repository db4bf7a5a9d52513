#pragma once

// The main window: choose an operation (and for Hide Pots the experience
// limit), press OK, pick a league. One press of OK is one run: read the
// league's format tag, load its players, keep a copy of them beside the
// league, run the operation and write the league back.

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

#include "RandomSource.h"
#include "mGlobal.h"

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class frmMain : public QWidget {
    Q_OBJECT

public:
    // Operations, by the index of their option button.
    enum Operation : int { kHidePots = 0, kRandomizePots = 1, kRestorePots = 2 };

    frmMain(tavrin::ProgramState& state, tavrin::RandomSource& random, QWidget* parent = nullptr);

    // What ends the program after a failure the run cannot go on from (the
    // exit status is 1). By default QCoreApplication::exit; tests put in their
    // own so that they can see it happen and carry on.
    void setEndProgram(std::function<void(int)> endProgram);
    // Options for the file dialog. Users get the platform's own dialog; tests
    // ask for Qt's (QFileDialog::DontUseNativeDialog) so they can answer it.
    void setFileDialogOptions(QFileDialog::Options options);

    bool isRunning() const { return fRunning_; }

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
    // Runs the selected operation. True when it completed; false when it was
    // answered with a message (and, for a failure, the end of the program).
    bool RunOperation();
    // The item data of the selected cboYears entry as a 16-bit integer; with
    // no entry selected this is error 381, the invalid list index.
    std::int16_t SelectedYearsLimit() const;
    // While a run is in progress the choices and buttons are blocked.
    void SetRunning(bool running);
    void MsgBox(QMessageBox::Icon icon, const QString& text, const QString& detail = QString());

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 3> optPots{};
    QComboBox* cboYears = nullptr;
    QLabel* Label1 = nullptr;

    tavrin::ProgramState& state_;
    tavrin::RandomSource& random_;
    std::function<void(int)> endProgram_;
    QFileDialog::Options fileDialogOptions_;
    QString sLastFolder_;  // where the file dialog opens next
    bool fRunning_ = false;
};
