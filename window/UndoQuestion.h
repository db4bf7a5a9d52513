#pragma once

// The one question before an undo, asked the same way from the History
// window's Undo… and from Edit > Undo Last Run…: which run is undone (and how
// many after it go with it), which of the league's files come back, and that
// the undo can itself be undone. Cancel is the default answer.

#include <QString>

#include <vector>

#include "run/History.h"

class QWidget;

namespace tavrin::window {

// "run 7 (Hide on 6 Dec 2026 06:00)"
QString RunName(const run::HistoryRun& run);

// Whether the run can be undone: the history kept the player file from
// before it.
inline bool CanUndo(const run::HistoryRun& run) { return !run.keptPyr.empty(); }

// Asks whether to put the league's player file `pyr` and .pot `pot` (their
// file names) back as they were before `target`, one of `runs` (oldest
// first). True when the user says Undo.
bool ConfirmUndo(QWidget* parent, const run::HistoryRun& target, const std::vector<run::HistoryRun>& runs,
                 const QString& pyr, const QString& pot);

}  // namespace tavrin::window
