#include "window/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

namespace tavrin::window {

bool InstallTranslations(const QString& folder) {
    const QLocale locale;
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;

    QStringList folders;
    if (!folder.isEmpty()) folders << folder;
    folders << QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/tavrin/translations");
    auto* own = new QTranslator(QCoreApplication::instance());
    for (const QString& candidate : folders) {
        if (own->load(locale, QStringLiteral("tavrin"), QStringLiteral("_"), candidate)) {
            QCoreApplication::installTranslator(own);
            return true;
        }
    }
    delete own;
    return false;
}

}  // namespace tavrin::window
