#include "league/Clock.h"

#include <QDateTime>
#include <QString>

namespace tavrin {

std::string NowUtc() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(); }

std::string LocalTimeText(const std::string& isoUtc) {
    const QDateTime when = QDateTime::fromString(QString::fromStdString(isoUtc), Qt::ISODate);
    if (!when.isValid()) return isoUtc;
    return when.toLocalTime().toString(QStringLiteral("d MMM yyyy HH:mm")).toStdString();
}

}  // namespace tavrin
