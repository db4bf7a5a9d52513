#pragma once

// The main window: choose an operation (and for Hide Pots the experience
// limit), press OK, pick a league. One press of OK is one run, done by the
// run core (run/Run.h): the window asks, calls and shows what came of it.
//
// A league can also be given before OK: as the program's argument (a file
// manager opening a .lge) or dropped on the window. OK then runs on it
// without the file dialog; the status line under the frame names it until
// that run is done, and offers a way back to the dialog.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <optional>

#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/Run.h"

class QCloseEvent;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tavrin::app {

class MainWindow : public QWidget {
    Q_OBJECT

public:
    MainWindow(ProgramState& state, RandomSource& random, QWidget* parent = nullptr);

    bool isRunning() const { return running_; }

    // Leagues given from outside the window (arguments, a drop): exactly one
    // existing file becomes the league the next OK runs on; anything else is
    // refused with a message and changes nothing. Whether it was taken.
    bool UseGivenLeagues(const QStringList& paths);
    // The league the next OK runs on without asking; empty when OK asks.
    QString givenLeague() const { return givenLeague_; }
    // The status line's whole text (it may show less, ending in "…").
    QString statusText() const;

signals:
    // A run stopped part-way with an error: the program must end, with this
    // exit status. Start-up ends the event loop; a test may watch instead.
    void endProgram(int code);

public slots:
    void OperationChosen(int id);
    void RunChosenOperation();
    void Cancel();
    void ChooseAnotherLeague();
    void ShowHistory();
    void ShowAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class RunGuard;

    void ProcessLeague();
    // The file dialog "Select League", opened where the last league was
    // chosen; the chosen path, empty when cancelled.
    QString AskForLeague();
    // The chosen operation, and for Hide the selected entry's limit (none
    // when no entry is chosen).
    run::Operation SelectedOperation() const;
    std::optional<std::int16_t> SelectedYearsLimit() const;
    // Shows what came of a run.
    void ShowOutcome(const run::Outcome& outcome);
    void SetGivenLeague(const QString& path);
    // The History button at the status line's end, and Ctrl+H.
    void AddHistoryButton();
    // The league whose history the button opens: the one given, else the one
    // chosen last; empty when there is none yet.
    QString HistoryLeague() const;
    void UpdateHistoryButton();
    void ShowStatus(const QString& text);
    // While a run is in progress the choices and buttons are blocked.
    void SetRunning(bool running);

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QGroupBox* operationBox_ = nullptr;
    std::array<QRadioButton*, 3> operationButtons_{};
    QComboBox* yearsList_ = nullptr;
    QLabel* yearsLabel_ = nullptr;
    // The status line under the frame, and its button back to the dialog
    // while a league is given.
    QLabel* statusLine_ = nullptr;
    QPushButton* otherLeagueButton_ = nullptr;
    // At the line's end: the league's history, also on Ctrl+H.
    QPushButton* historyButton_ = nullptr;
    // At the line's end: the About box, also on F1.
    QPushButton* aboutButton_ = nullptr;

    ProgramState& state_;
    RandomSource& random_;
    QString givenLeague_;
    bool running_ = false;
};

}  // namespace tavrin::app
