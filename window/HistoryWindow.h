#pragma once

// The league's history in a window: the runs kept in its history folder,
// newest first, and for the selected run what it said it did (its summary in
// full), the files it kept and the players whose potentials it changed, each
// potential before and after. Undo… undoes back to the selected run: the
// player file and the .pot as they were before it, after a confirmation.
//
// The window asks and shows; the undo is a run like any other, made by the
// main window (blocked while it runs, its outcome on the status line) through
// the function it hands over. The window fits the screen it opens on, at any
// scale factor.

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <vector>

#include "run/History.h"
#include "run/Run.h"

class QLabel;
class QPushButton;
class QTableView;
class QTreeWidget;

namespace tavrin::window {

class ChangesModel;

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
    void Undo();
    const run::HistoryRun* Selected() const;

    std::filesystem::path league_, pyr_, pot_;
    run::History history_;
    RunLeague runLeague_;
    std::vector<run::HistoryRun> runs_;  // oldest first, as the history gives them

    QLabel* where_ = nullptr;       // the history folder
    QTreeWidget* runList_ = nullptr;
    QLabel* run_ = nullptr;         // the selected run: its summary and kept files
    QLabel* changesNote_ = nullptr;  // what the list of players is, or why there is none
    ChangesModel* changes_ = nullptr;
    QTableView* changesView_ = nullptr;
    QPushButton* undo_ = nullptr;
};

}  // namespace tavrin::window
