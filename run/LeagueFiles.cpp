#include "run/LeagueFiles.h"

#include "base/Error.h"
#include "db/Sqlite.h"
#include "run/Messages.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

std::string LinkText(const platform::Folder& folder, const fs::path& name) {
    return run::LinkText(folder.PathOf(name), folder.LinkTarget(name));
}

// What a user can do about a file or folder Tavrin may not write.
constexpr const char* kWhatToDo = "; make it writable, or copy the league to a folder of yours";

[[noreturn]] void RefuseChange(const std::string& why) { throw Refusal("Cannot change the league: " + why + "."); }

}  // namespace

LeagueFiles OpenLeagueFiles(const fs::path& league) {
    CheckLeagueFile(league);
    LeagueFiles files;
    files.paths = LeaguePaths::Of(league);
    files.folder = platform::Folder::Open(league.parent_path());
    files.lge = league.filename();
    files.pyr = files.paths.playerFile.filename();
    files.pot = files.paths.potFile.filename();
    files.history = files.paths.history.filename();
    return files;
}

void RefuseLinks(const LeagueFiles& files) {
    for (const fs::path& name : {files.pyr, files.pot, files.history})
        if (files.folder.Info(name).kind == platform::Kind::Link) RefuseChange(LinkText(files.folder, name));
}

void CheckNamesAndFolder(const LeagueFiles& files) {
    constexpr std::size_t kSqlitePathLimit = db::kPathLimit;
    const auto cannot = [&](const std::string& why) {
        throw Refusal("Cannot work on " + PathText(files.paths.league) + ": " + why + ".");
    };
    for (const fs::path& name : {Commit::NewName(files.pyr), Commit::NewName(files.pot), files.history})
        if (platform::NameLength(name) > platform::kMaxNameLength)
            cannot("the name " + PathText(name) + " that Tavrin must write beside the league is longer than " +
                   std::to_string(platform::kMaxNameLength) + " characters; give the league a shorter name");
    std::error_code ec;
    const fs::path pot = fs::absolute(files.paths.potFile, ec);
    if (pot.u8string().size() > kSqlitePathLimit)
        cannot("the path " + PathText(pot) + " is longer than the database engine accepts (" +
               std::to_string(kSqlitePathLimit) + " bytes); move the league to a shorter folder");

    if (!platform::RunningAsAdministrator()) return;
    const platform::FileInfo folder = files.folder.Info();
    const std::string where = "its folder " + PathText(files.folder.Path());
    if (folder.owner != 0)
        cannot(where + " belongs to another user, who could make a run of the administrator change files "
                       "elsewhere; run Tavrin as that user");
    if ((folder.permissions & 022) != 0 && (folder.permissions & 01000) == 0)
        cannot(where + " can be written by other users, who could make a run of the administrator change files "
                       "elsewhere; make it writable by its owner only");
}

bool CheckReplaceable(const LeagueFiles& files, Operation operation) {
    const platform::Folder& folder = files.folder;
    RefuseLinks(files);  // again, under the league's lock
    // Whether the file's permission bits let it be replaced; a missing
    // player file is no league to change.
    const auto replaceable = [&](const fs::path& name, bool required) {
        const platform::FileInfo info = folder.Info(name);
        const std::string path = PathText(folder.PathOf(name));
        if (!info.Exists()) {
            if (required) throw Refusal("Cannot load the league: its player file " + path + " does not exist.");
            return true;
        }
        if (info.kind != platform::Kind::Regular) RefuseChange(path + ": it is not a regular file");
        return info.WritableByItsBits();
    };
    if (!replaceable(files.pyr, true)) RefuseChange(PathText(folder.PathOf(files.pyr)) + " is read-only" + kWhatToDo);
    const bool potWritable = replaceable(files.pot, false);
    if (!potWritable && operation != Operation::Restore)
        RefuseChange(PathText(folder.PathOf(files.pot)) + " is read-only" + kWhatToDo);

    const platform::FileInfo history = folder.Info(files.history);
    const std::string path = PathText(folder.PathOf(files.history));
    if (history.Exists()) {
        if (history.kind != platform::Kind::Folder) RefuseChange("its history " + path + " is not a folder");
        // Made by this user, or by the folder's owner: nobody else's.
        if (history.owner != folder.Info().owner && history.owner != platform::CurrentUser())
            RefuseChange("its history " + path + " belongs to another user than the league's folder");
        if (!folder.OpenFolder(files.history)->CanWrite())
            RefuseChange("Tavrin cannot write in its history " + path + kWhatToDo);
    }
    if (!folder.CanWrite())
        RefuseChange("Tavrin cannot write in the league's folder " + PathText(folder.Path()) + kWhatToDo);
    return potWritable;
}

void RemoveLeftOvers(const LeagueFiles& files) {
    // Up to the size of the league each, and no other run can be writing
    // them while this one holds the league's lock. (A run replaces a file only
    // through such a name, so the file itself is whole.)
    for (const fs::path& name : {files.pyr, files.pot}) files.folder.Remove(Commit::NewName(name));
    if (const auto history = files.folder.OpenFolder(files.history)) HistoryWriter::RemoveLeftOvers(*history);
}

int FinishRun(const LeagueFiles& files, Commit& commit, HistoryRun& run, const platform::FileInfo& pyrAsRead,
              int historyRuns) {
    HistoryWriter history(files.folder, files.history);
    commit.Apply(history, run, pyrAsRead);
    history.Prune(historyRuns);
    return run.number;
}

}  // namespace tavrin::run
