#include "window/ApplicationNames.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include "base/Version.h"

namespace tavrin::window {

void NameApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
#if defined(Q_OS_WIN)
    // The settings in a file under %LOCALAPPDATA% (Tavrin\Tavrin.ini) rather
    // than in the registry: with the working database (Tavrin\Tavrin\cache)
    // everything Tavrin keeps for a user is in one folder, which its
    // uninstaller removes.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
}

}  // namespace tavrin::window
