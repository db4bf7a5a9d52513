#pragma once

// The windows in the user's language: Tavrin's own translation and Qt's (the
// file dialog's and message boxes' standard texts), where there is one for
// the language. Without one the windows speak English, the language of the
// sources.

#include <QString>

namespace tavrin::window {

// Installs tavrin_<language>.qm from the folder `folder`, else from
// "translations" beside the program or the system's share/tavrin/translations,
// and Qt's own translation of the same language. Called once the application
// object exists and before the first window is made. Whether Tavrin's own
// translation was found.
bool InstallTranslations(const QString& folder = QString());

}  // namespace tavrin::window
