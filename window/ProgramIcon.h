#pragma once

// The program's icon, compiled into the program (app/desktop/icons.qrc) so a
// portable copy has it too: every size drawn for it, and the drawing itself
// where Qt can render SVG.

#include <QIcon>

namespace tavrin::window {

QIcon ProgramIcon();

}  // namespace tavrin::window
