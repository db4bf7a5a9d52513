#pragma once

// The file dialog that asks for a league, and the league it remembers: the
// dialog opens beside the league chosen last, in any session (kept with
// QSettings). Until there is one, it opens in the folder named by the
// environment's TAVRIN_LEAGUE_FOLDER (scripts/run.sh names the demo league's),
// else in the user's documents.

#include <QString>

class QWidget;

namespace tavrin::window {

// The dialog "Select League"; the chosen path, remembered, or empty when the
// dialog is cancelled.
QString AskForLeague(QWidget* parent);

// The league chosen or given last; empty when there is none yet.
QString LastLeague();
void RememberLeague(const QString& path);

}  // namespace tavrin::window
