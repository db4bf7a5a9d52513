#include "window/Texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include "league/PlayersTable.h"

namespace tavrin::window {

namespace {

// The context the catalogue's texts are translated in.
const char* const kCoreContext = "CoreText";

// The core's captions the window shows. Only listed here, never called:
// lupdate reads the list into the translation template.
[[maybe_unused]] const char* const kCatalogue[] = {
    // The operations' options (run/Operations.h)
    QT_TRANSLATE_NOOP("CoreText", "Hide Pots"),
    QT_TRANSLATE_NOOP("CoreText", "Randomize Pots"),
    QT_TRANSLATE_NOOP("CoreText", "Restore Pots"),
    // The years list, and its placeholder (run/Messages.h)
    QT_TRANSLATE_NOOP("CoreText", "All Players"),
    QT_TRANSLATE_NOOP("CoreText", "Rookies"),
    QT_TRANSLATE_NOOP("CoreText", "1 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "2 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "3 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "4 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "5 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "6 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "7 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "8 yr and less"),
    QT_TRANSLATE_NOOP("CoreText", "Select Years"),
    // The progress window's steps
    QT_TRANSLATE_NOOP("CoreText", "Quarterbacks"),
    QT_TRANSLATE_NOOP("CoreText", "Loading League"),
    QT_TRANSLATE_NOOP("CoreText", "Saving"),
    QT_TRANSLATE_NOOP("CoreText", "Restoring Pots"),
};

}  // namespace

QString FromCore(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString CoreText(std::string_view text) {
    const QByteArray source(text.data(), static_cast<qsizetype>(text.size()));
    return QCoreApplication::translate(kCoreContext, source.constData());
}

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

QString FromPath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

QString YearsText(int years) {
    return years == 1 ? QCoreApplication::translate("Years", "%1 yr").arg(years)
                      : QCoreApplication::translate("Years", "%1 yrs").arg(years);
}

QString AttributeCode(std::size_t attribute) {
    // The codes are the game's own, as its editors and our command line show them.
    return FromCore(kAttributeCodes.at(attribute));
}

QString AttributeName(std::size_t attribute) {
    static const char* const names[kAttributes] = {
        QT_TRANSLATE_NOOP("Attributes", "Speed"),     QT_TRANSLATE_NOOP("Attributes", "Acceleration"),
        QT_TRANSLATE_NOOP("Attributes", "Agility"),   QT_TRANSLATE_NOOP("Attributes", "Strength"),
        QT_TRANSLATE_NOOP("Attributes", "Hands"),     QT_TRANSLATE_NOOP("Attributes", "Endurance"),
        QT_TRANSLATE_NOOP("Attributes", "Intelligence"), QT_TRANSLATE_NOOP("Attributes", "Discipline"),
    };
    return QCoreApplication::translate("Attributes", names[attribute]);
}

QString AttributeLegend() {
    QStringList parts;
    for (std::size_t a = 0; a < kAttributes; ++a)
        parts << QCoreApplication::translate("Attributes", "%1 %2", "an attribute's code and name")
                     .arg(AttributeCode(a), AttributeName(a));
    return parts.join(QCoreApplication::translate("Attributes", ", ", "between the attributes of the legend"));
}

}  // namespace tavrin::window
