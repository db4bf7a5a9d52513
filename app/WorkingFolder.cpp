#include "app/WorkingFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace tavrin::app {

void NameApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION_TEXT));
}

namespace {

// Whether this user can make files in the folder: tried, not guessed from
// permission bits (an administrator, a read-only mount, an ACL).
bool CanCreateFilesIn(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.tavrin-probe-XXXXXX"));
    return probe.open();
}

std::filesystem::path ToPath(const QString& folder) { return std::filesystem::path(folder.toStdU16String()); }

}  // namespace

std::filesystem::path WorkingFolder() {
    return WorkingFolder(ToPath(QCoreApplication::applicationDirPath()));
}

std::filesystem::path WorkingFolder(const std::filesystem::path& programFolder) {
    if (CanCreateFilesIn(QString::fromStdU16String(programFolder.u16string()))) return programFolder;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(data);
    return ToPath(data);
}

}  // namespace tavrin::app
