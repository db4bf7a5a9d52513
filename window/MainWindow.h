#pragma once

// The main window: choose an operation (and for Hide Pots the experience
// limit), press OK, pick a league. One press of OK is one run, done by the
// run core (run/Run.h): the window asks, calls and shows what came of it.
//
// A league can also be given before OK: as the program's argument (a file
// manager opening a .lge), dropped on the window, or chosen with League >
// Open… or Open Recent. OK then runs on it without the file dialog; the
// status line under the frame names it until that run is done, and offers a
// way back to the dialog.
//
// The window is laid out by Qt's layouts and can be resized, never below the
// size of the form it grew from. Its menu bar reaches everything else: the
// players of the league (a dry run previews what OK would change), its
// history, undo, the help and the About box.

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/Run.h"

class QAction;
class QButtonGroup;
class QCloseEvent;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;

namespace tavrin::window {

class HelpWindow;
class PlayersWindow;
class StatusLine;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow(ProgramState& state, RandomSource& random, QWidget* parent = nullptr);

    bool isRunning() const { return running_; }

    // Leagues given from outside the window (arguments, a drop, Open
    // Recent): exactly one league file becomes the league the next OK runs
    // on; anything else is refused with a message and changes nothing.
    // Whether it was taken.
    bool UseGivenLeagues(const QStringList& paths);
    // The league the next OK runs on without asking; empty when OK asks.
    QString givenLeague() const { return givenLeague_; }
    // The status line's whole text.
    QString statusText() const;
    // The request OK would make with the choices as they stand (no league).
    run::Request ChosenRequest() const;

signals:
    // A run stopped part-way with an error: the program must end, with this
    // exit status. Start-up ends the event loop; a test may watch instead.
    void endProgram(int code);
    // The operation or the years list's entry changed.
    void choiceChanged();
    // A run started or ended.
    void runningChanged(bool running);

public slots:
    // `id` is the chosen operation's row in run::kOperations.
    void OperationChosen(int id);
    void RunChosenOperation();
    void ChooseAnotherLeague();
    void UndoLastRun();
    void ShowPlayers();
    void ShowHistory();
    void ShowHelp();
    void ShowAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class RunGuard;

    // The window's parts, built in tab order, then the menus.
    void BuildButtons();
    void BuildOperationBox();
    void LayOut();
    void BuildMenus();
    void FillRecentMenu();
    void SetUpKeys();
    void NameForScreenReaders();

    // Text typed over the years list's entry: no entry is selected any more.
    void YearsTyped(const QString& text);
    // The chosen operation, and for Hide the selected entry's limit (none
    // when no entry is chosen).
    run::Operation SelectedOperation() const;
    std::optional<std::int16_t> SelectedYearsLimit() const;
    // Runs the request on the window's state and shows what came of it;
    // the caller blocks the window (RunGuard) for the length of the run.
    run::Outcome RunAndShow(const run::Request& request);
    // A dry run for the Players window's preview: blocked like any run, told
    // there, not on the status line.
    run::Outcome DryRun(const run::Request& request);
    void ShowOutcome(const run::Outcome& outcome);
    void SetGivenLeague(const QString& path);
    // The league whose history, players and undo the window shows: the one
    // given, else the one chosen last; empty when there is none yet.
    QString HistoryLeague() const;
    // Tells the parts that show the league which one it is now.
    void LeagueShownChanged();
    // While a run is in progress the choices, buttons and menus are blocked.
    void SetRunning(bool running);
    // Grows the window where the status line's text needs more lines than
    // its height holds, and keeps it from being made shorter than that.
    void FitStatusText();

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QGroupBox* operationBox_ = nullptr;
    // The options in the window's order; the group's id of each is its row
    // in run::kOperations.
    std::vector<QRadioButton*> operationButtons_;
    QButtonGroup* operationGroup_ = nullptr;
    QComboBox* yearsList_ = nullptr;
    QLabel* yearsLabel_ = nullptr;
    StatusLine* statusLine_ = nullptr;

    QMenu* recentMenu_ = nullptr;
    // What a league must be known for, and what a run blocks.
    QAction* undoAction_ = nullptr;
    QAction* playersAction_ = nullptr;
    QAction* historyAction_ = nullptr;
    std::vector<QAction*> blockedWhileRunning_;

    QPointer<PlayersWindow> players_;
    QPointer<HelpWindow> help_;

    ProgramState& state_;
    RandomSource& random_;
    QString givenLeague_;
    bool running_ = false;
    int fitting_ = 0;  // FitStatusText is resizing the window
};

}  // namespace tavrin::window
