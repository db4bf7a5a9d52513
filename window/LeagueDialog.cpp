#include "window/LeagueDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tavrin::window {

namespace {

const char* const kLastLeagueKey = "FileDialog/LastLeague";
const char* const kRecentKey = "League/Recent";

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
    const QString chosen = QFileDialog::getOpenFileName(
        parent, QCoreApplication::translate("LeagueDialog", "Select League"), DialogStart(),
        QCoreApplication::translate("LeagueDialog", "Leagues (*.lge)"));
    if (!chosen.isEmpty()) RememberLeague(QFileInfo(chosen).absoluteFilePath());
    return chosen;
}

QString LastLeague() { return QSettings().value(kLastLeagueKey).toString(); }

void RememberLeague(const QString& path) {
    QSettings settings;
    settings.setValue(kLastLeagueKey, path);
    // The same league by another spelling of its path is still one entry.
    QStringList recent = settings.value(kRecentKey).toStringList();
    const QString key = QDir::cleanPath(path);
    recent.removeIf([&](const QString& entry) { return QDir::cleanPath(entry) == key; });
    recent.prepend(path);
    while (recent.size() > kRecentLeagues) recent.removeLast();
    settings.setValue(kRecentKey, recent);
}

QStringList RecentLeagues() { return QSettings().value(kRecentKey).toStringList().mid(0, kRecentLeagues); }

void ForgetRecentLeagues() { QSettings().remove(kRecentKey); }

}  // namespace tavrin::window
