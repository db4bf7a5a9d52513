#include "league/ProgramState.h"

#include "base/Text.h"

namespace tavrin {

std::filesystem::path SpelledOnDisk(const std::filesystem::path& path) {
    // Looked up in the folder even where the name exists: on a file system
    // that ignores case (Windows'), "Demo.pyr" finds DEMO.PYR, and a file
    // renamed into place must keep the spelling it has there.
    std::error_code ec;
    const std::u16string wanted = path.filename().u16string();
    std::filesystem::path found;
    int matches = 0;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename().u16string() == wanted) return path;
        if (NamesEqualNoCase(entry.path().filename().u16string(), wanted)) {
            found = path.parent_path() / entry.path().filename();
            ++matches;
        }
    }
    return matches == 1 ? found : path;
}

std::filesystem::path BesideLeague(const std::filesystem::path& league, std::u16string_view ending) {
    std::u16string base = league.u16string();
    base.resize(base.size() >= 3 ? base.size() - 3 : 0);
    return std::filesystem::path(base + std::u16string(ending));
}

LeaguePaths LeaguePaths::Of(const std::filesystem::path& league) {
    return {league, SpelledOnDisk(BesideLeague(league, u"pyr")), SpelledOnDisk(BesideLeague(league, u"pot")),
            BesideLeague(league, u"history")};
}

}  // namespace tavrin
