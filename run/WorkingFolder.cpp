#include "run/WorkingFolder.h"

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Text.h"
#include "db/Sqlite.h"
#include "league/ProgramState.h"
#include "platform/Platform.h"

namespace tavrin::run {

namespace {

namespace fs = std::filesystem;

// SQLite refuses a database whose full path is longer than this: every run
// would fail at its import.
constexpr std::size_t kSqlitePathLimit = db::kPathLimit;

// A folder's path as compared here: '/' between names, and on Windows its
// letters folded, as the system compares names.
std::u16string Compared(const fs::path& folder) {
    std::u16string text = folder.generic_u16string();
#if defined(_WIN32)
    for (char16_t& c : text) c = FoldedForNames(c);
#endif
    while (text.size() > 1 && text.back() == u'/') text.pop_back();
    return text;
}

// Where packages and administrators install programs: on Windows both
// Program Files folders and the Windows folder, as the system names them for
// this session; elsewhere /usr (with /usr/local), /opt, the top-level program
// and library folders, and the prefixes of snaps, Flatpak and Nix.
std::vector<std::u16string> SystemFolders() {
    std::vector<std::u16string> folders;
#if defined(_WIN32)
    for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"SystemRoot"})
        if (const wchar_t* folder = _wgetenv(name); folder && *folder)
            folders.push_back(Compared(fs::path(folder).lexically_normal()));
#else
    for (const char* folder : {"/usr", "/opt", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/snap", "/app", "/nix"})
        folders.push_back(Compared(folder));
#endif
    return folders;
}

bool IsUnder(const std::u16string& folder, const std::u16string& root) {
    return folder == root || (folder.size() > root.size() && folder.starts_with(root) && folder[root.size()] == u'/');
}

}  // namespace

bool KeepsWorkingDatabaseBeside(const fs::path& programFolder) {
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::absolute(programFolder, ec), ec);
    if (ec) return false;
    for (const std::u16string& system : SystemFolders())
        if (IsUnder(Compared(folder), system)) return false;
    ProgramState there;
    there.workingFolder = folder;
    if (there.WorkingDatabasePath().u8string().size() > kSqlitePathLimit) return false;
    // Root owns the system's folders and can write anywhere: only the owner
    // tells a folder of root's own from one it merely may write to. The
    // probe comes last: nothing is made in a folder that is not ours.
    return platform::BelongsToCurrentUser(folder) && platform::CanCreateFilesIn(folder);
}

fs::path WorkingFolder() { return WorkingFolder(platform::ProgramFolder()); }

fs::path WorkingFolder(const fs::path& programFolder) {
    if (KeepsWorkingDatabaseBeside(programFolder)) return programFolder;
    return platform::CacheFolder();
}

}  // namespace tavrin::run
