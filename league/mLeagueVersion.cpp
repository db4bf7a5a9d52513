#include "league/mLeagueVersion.h"

#include <array>

#include "league/Platform.h"
#include "league/mGridexType.h"

namespace tavrin {

void ReadLeagueVersion(ProgramState& state, const std::filesystem::path& sLeaguePath) {
    // Only a regular file is opened (a pipe would make the read wait for
    // ever), and never through a link.
    platform::File file = platform::Folder::Open(sLeaguePath.parent_path()).OpenToRead(sLeaguePath.filename());
    LeagueFileRec rec{};  // cleared: a short file leaves the rest of the tag as zeros
    file.Read(std::span(reinterpret_cast<std::uint8_t*>(rec.tag.data()), rec.tag.size()));
    CheckLeagueTag(state, std::string_view(rec.tag.data(), rec.tag.size()));
}

void CheckLeagueTag(ProgramState& state, std::string_view tag) {
    if (tag == "L03:")
        state.iLeagueVersion = kLeagueL03;
    else if (tag == "L02:")
        state.iLeagueVersion = kLeagueL02;
    else
        state.iLeagueVersion = kLeagueOther;
}

}  // namespace tavrin
