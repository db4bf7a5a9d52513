#pragma once

// Where the working database Temp.mdb lives. A portable copy of Tavrin keeps
// it in the program's own folder; an installed one cannot write there
// (/usr/bin, Program Files) and keeps it in the user's data folder instead
// (QStandardPaths::AppLocalDataLocation: ~/.local/share/Tavrin/Tavrin,
// %LOCALAPPDATA%\Tavrin\Tavrin).

#include <filesystem>

namespace tavrin::app {

// The program's folder when this user can create files in it, otherwise the
// user's data folder for Tavrin (made if missing). Needs the application
// object, with its organisation and application names set.
std::filesystem::path WorkingFolder();
// The same for a program in `programFolder`.
std::filesystem::path WorkingFolder(const std::filesystem::path& programFolder);

// Names the application for its settings and data folders: called first
// thing in main(), before any application object exists.
void NameApplication();

}  // namespace tavrin::app
