#include "window/ApplicationNames.h"

#include <QCoreApplication>
#include <QString>

#include "base/Version.h"

namespace tavrin::window {

void NameApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
}

}  // namespace tavrin::window
