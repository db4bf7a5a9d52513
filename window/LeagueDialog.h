#pragma once

// The file dialog that asks for a league, and the leagues it remembers: the
// dialog opens beside the league chosen last, in any session (kept with
// QSettings). Until there is one, it opens in the folder named by the
// environment's TAVRIN_LEAGUE_FOLDER (scripts/run.sh names the demo league's),
// else in the user's documents. The last leagues chosen or given are kept
// too, newest first, for League > Open Recent.

#include <QString>
#include <QStringList>

class QWidget;

namespace tavrin::window {

// How many leagues Open Recent lists.
inline constexpr int kRecentLeagues = 8;

// The dialog "Select League"; the chosen path, remembered, or empty when the
// dialog is cancelled.
QString AskForLeague(QWidget* parent);

// The league chosen or given last; empty when there is none yet.
QString LastLeague();
// Remembers the league as the last one and puts it on top of the recent ones.
void RememberLeague(const QString& path);
// The recent leagues, newest first, at most kRecentLeagues.
QStringList RecentLeagues();
void ForgetRecentLeagues();

}  // namespace tavrin::window
