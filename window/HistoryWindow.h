#pragma once

// The league's history in a window: the runs kept in its history folder,
// newest first, and for the selected run what it said it did (its summary in
// full, which the main window's status line may cut), the files it kept and
// the players whose potentials it changed, listed as the command line's
// --verbose lists them. "Bring back" undoes back to the selected run: the
// player file and the .pot as they were before it, after a confirmation.
//
// The window asks and shows; the undo is a run like any other, made by the
// main window (blocked while it runs, its outcome on the status line) through
// the function it hands over.

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <vector>

#include "run/History.h"
#include "run/Run.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace tavrin::window {

class HistoryWindow : public QDialog {
    Q_OBJECT

public:
    using RunLeague = std::function<run::Outcome(const run::Request&)>;

    // The history of the league file `league`.
    HistoryWindow(const QString& league, RunLeague runLeague, QWidget* parent = nullptr);

private:
    // Reads the history afresh and selects the run numbered `select`, or the
    // newest where there is none of that number.
    void Reload(int select);
    void ShowSelected();
    void BringBack();
    const run::HistoryRun* Selected() const;

    std::filesystem::path league_, pyr_, pot_;
    run::History history_;
    RunLeague runLeague_;
    std::vector<run::HistoryRun> runs_;  // oldest first, as the history gives them

    QLabel* where_ = nullptr;       // the history folder
    QTreeWidget* runList_ = nullptr;
    QLabel* run_ = nullptr;         // the selected run: its summary and kept files
    QPlainTextEdit* changes_ = nullptr;
    QPushButton* bringBack_ = nullptr;
};

}  // namespace tavrin::window
