#include "league/FormatTag.h"

#include <array>

#include "platform/Platform.h"
#include "league/RecordLayout.h"

namespace tavrin {

LeagueFormat FormatOfTag(std::string_view tag) {
    if (tag == "L03:") return LeagueFormat::L03;
    if (tag == "L02:") return LeagueFormat::L02;
    return LeagueFormat::Unknown;
}

LeagueFormat ReadFormatTag(const std::filesystem::path& league, std::string* tag) {
    // Only a regular file is opened (a pipe would make the read wait for
    // ever), and never through a link.
    platform::File file = platform::Folder::Open(league.parent_path()).OpenToRead(league.filename());
    LeagueFileRec rec{};  // cleared: a short file leaves the rest of the tag as zeros
    const std::size_t read = file.Read(std::span(reinterpret_cast<std::uint8_t*>(rec.tag.data()), rec.tag.size()));
    if (tag) tag->assign(rec.tag.data(), read);
    return FormatOfTag(std::string_view(rec.tag.data(), rec.tag.size()));
}

}  // namespace tavrin
