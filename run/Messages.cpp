#include "run/Messages.h"

#include <algorithm>
#include <cctype>

#include "base/Error.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "league/ProgramState.h"

namespace tavrin::run {

namespace fs = std::filesystem;

void CheckLeagueFile(const fs::path& league) {
    try {
        const platform::Folder folder = platform::Folder::Open(league.parent_path());
        const platform::FileInfo info = folder.Info(league.filename());
        if (!info.Exists()) throw Refusal("The league file " + PathText(league) + " does not exist.");
        if (info.kind == platform::Kind::Link)
            throw Refusal("Cannot open the league: " + LinkText(league, folder.LinkTarget(league.filename())) + ".");
        if (info.kind != platform::Kind::Regular)
            throw Refusal("Cannot read the league file " + PathText(league) + ": it is not a regular file.");
    } catch (const Error&) {
        // A folder that is not there is a missing league; a name the system
        // cannot look up at all (one too long) is told with its reason.
        std::error_code ec;
        (void)fs::status(league, ec);
        if (!ec || ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
            throw Refusal("The league file " + PathText(league) + " does not exist.");
        throw Refusal("Cannot read the league file " + PathText(league) + ": " + ec.message() + ".");
    }
}

std::string LinkText(const fs::path& link, const fs::path& target) {
    return PathText(link) + " is a symbolic link to " + PathText(target) +
           "; Tavrin never writes through a link: open the league where it really is";
}

std::string RunsKeptText(std::size_t runs, const fs::path& folder) {
    if (runs == 0) return "no run kept yet in " + PathText(folder);
    return std::to_string(runs) + (runs == 1 ? " run" : " runs") + " kept in " + PathText(folder);
}

std::string NotALeagueText(const fs::path& league, std::string_view tag) {
    if (EqualsNoCase(league.extension().string(), ".pyr")) {
        // The league file as it is spelled beside it (LEAGUE.LGE from another machine too).
        const fs::path lge = SpelledOnDisk(fs::path(league).replace_extension(".lge"));
        std::error_code ec;
        return PathText(league) + " is a player file, not a league file." +
               (fs::exists(fs::symlink_status(lge, ec)) ? " The league file beside it is " +
                                                              PathText(lge.filename()) + ": choose that one."
                                                        : std::string(" Choose the league file (*.lge) beside it."));
    }
    // What the file starts with, as the user can read it.
    std::string shown;
    for (const char c : tag) shown += (c >= 0x20 && c < 0x7F) ? c : '.';
    return PathText(league) + " is not a league Tavrin knows: its header begins with \"" + shown +
           "\", not \"L02:\" or \"L03:\".";
}

}  // namespace tavrin::run
