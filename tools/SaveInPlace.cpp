#include "tools/SaveInPlace.h"

#include <optional>

#include "base/Error.h"

namespace tavrin {

namespace fs = std::filesystem;

SaveResult SaveLeagueInPlace(const ProgramState& state, const ImportedLeague& league, const SaveOptions& options) {
    const platform::Folder folder = platform::Folder::Open(league.file.parent_path());
    fs::path name = league.file.filename(), newName = name;
    newName += platform::kNewSuffix;
    folder.Remove(newName);
    std::optional<platform::File> out = folder.CreateNew(newName);
    if (!out) throw Error("Cannot write " + PathText(folder.PathOf(newName)) + ": the name is taken");
    try {
        const SaveResult result = SaveLeague(state, league, &*out, options);
        out->TakeOwnerAndPermissionsOf(folder.Info(name));
        out->Sync();
        out->Close();
        folder.Rename(newName, folder, name);
        return result;
    } catch (...) {
        folder.Remove(newName);
        throw;
    }
}

}  // namespace tavrin
