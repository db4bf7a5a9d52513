#pragma once

// The league's players in a window (View > Players…): a table of every
// player, sortable by any column and filtered by name, and a preview of the
// run OK would make with the main window's choices, computed by a dry run of
// the run core: the players it would change, their potentials before and
// after, and nothing written.
//
// The window reads the league with run::ReportLeague, the report `tavrin
// show` prints, so the two always agree. It asks the main window for its
// choices and for the dry run, which is blocked and shown like any run.

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>

#include "run/Run.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tavrin::window {

class PlayersModel;

class PlayersWindow : public QWidget {
    Q_OBJECT

public:
    // The request OK would make (no league), and a dry run of a request.
    using ChosenRequest = std::function<run::Request()>;
    using DryRun = std::function<run::Outcome(const run::Request&)>;

    PlayersWindow(ChosenRequest chosen, DryRun dryRun, QWidget* parent = nullptr);

    // Shows the players of the league file `league`, read afresh where it is
    // another league than the one shown.
    void ShowLeague(const QString& league);
    // Reads the league shown afresh; the preview goes, the sort and the filter stay.
    void Reload();

    PlayersModel* model() const { return model_; }
    QString league() const { return league_; }

public slots:
    // Runs the dry run of the main window's choices and marks its players.
    void Preview();
    // The main window's choices changed: the preview no longer shows them.
    void ChoiceChanged();
    void SetRunning(bool running);

private:
    void UpdateCount();
    void UpdatePreviewButton();
    void FitColumns();
    // "Hide Pots for Rookies": the choice the preview runs.
    QString ChoiceText() const;

    ChosenRequest chosen_;
    DryRun dryRun_;
    QString league_;
    bool running_ = false;
    int firstNameWidth_ = 0, lastNameWidth_ = 0;  // the widest of the league's names

    PlayersModel* model_ = nullptr;
    QLabel* note_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* count_ = nullptr;
    QTableView* table_ = nullptr;
    QPushButton* preview_ = nullptr;
    QCheckBox* onlyChanged_ = nullptr;
    QLabel* previewResult_ = nullptr;
};

}  // namespace tavrin::window
