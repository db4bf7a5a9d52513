#pragma once

// Where the working database Temp.mdb lives. A copy of Tavrin that the user
// built or unpacked in a folder of their own keeps it beside the program, so
// that everything of that copy stays in its folder. An installed Tavrin
// (/usr/bin, /opt, Program Files) must leave its folder alone: the package
// manager owns it, and a file made there, by an administrator say, would be
// left behind when the package is removed. It keeps the working database in
// the user's cache folder instead (platform::CacheFolder: ~/.cache/Tavrin/Tavrin,
// %LOCALAPPDATA%\Tavrin\Tavrin\cache): every run rebuilds it, so it is a
// cache in all but name.

#include <filesystem>

namespace tavrin::run {

// The running program's folder when KeepsWorkingDatabaseBeside says so,
// otherwise the user's cache folder for Tavrin (made if missing).
std::filesystem::path WorkingFolder();
// The same for a program in `programFolder`.
std::filesystem::path WorkingFolder(const std::filesystem::path& programFolder);

// Whether a program in `programFolder` keeps the working database beside
// itself: the folder is not a system folder, belongs to the user running the
// program, can be written to, and is short enough for the database engine's
// path limit. Makes no file that outlives the call.
bool KeepsWorkingDatabaseBeside(const std::filesystem::path& programFolder);

}  // namespace tavrin::run
