#include "window/LeagueDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tavrin::window {

namespace {

const char* const kLastLeagueKey = "FileDialog/LastLeague";

QString DialogStart() {
    const QFileInfo last(LastLeague());
    if (!last.filePath().isEmpty()) {
        if (last.isFile()) return last.absoluteFilePath();  // its folder, with it selected
        if (last.absoluteDir().exists()) return last.absolutePath();
    }
    const QString named = qEnvironmentVariable("TAVRIN_LEAGUE_FOLDER");
    if (!named.isEmpty() && QFileInfo(named).isDir()) return QFileInfo(named).absoluteFilePath();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

}  // namespace

QString AskForLeague(QWidget* parent) {
    const QString chosen = QFileDialog::getOpenFileName(parent, "Select League", DialogStart(), "Leagues (*.lge)");
    if (!chosen.isEmpty()) RememberLeague(QFileInfo(chosen).absoluteFilePath());
    return chosen;
}

QString LastLeague() { return QSettings().value(kLastLeagueKey).toString(); }

void RememberLeague(const QString& path) { QSettings().setValue(kLastLeagueKey, path); }

}  // namespace tavrin::window
