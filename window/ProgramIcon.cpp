#include "window/ProgramIcon.h"

#include <QImageReader>

// A static library's resources are registered by name, outside any namespace.
static void RegisterIcons() { Q_INIT_RESOURCE(icons); }

namespace tavrin::window {

QIcon ProgramIcon() {
    RegisterIcons();
    QIcon icon;
    for (const char* size : {"32", "64", "256"}) icon.addFile(QStringLiteral(":/icons/tavrin-%1.png").arg(size));
    // The SVG plugin is optional.
    if (QImageReader::supportedImageFormats().contains("svg")) icon.addFile(QStringLiteral(":/icons/tavrin.svg"));
    return icon;
}

}  // namespace tavrin::window
