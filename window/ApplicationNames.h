#pragma once

namespace tavrin::window {

// Names the application for its settings (QSettings) and the folders Qt
// finds for it: called first thing, before any application object exists.
void NameApplication();

}  // namespace tavrin::window
