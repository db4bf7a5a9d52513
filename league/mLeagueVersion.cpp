#include "league/mLeagueVersion.h"

#include <QFile>

#include "db/Error.h"
#include "league/QtFiles.h"
#include "league/mGridexType.h"

namespace tavrin {

void ReadLeagueVersion(ProgramState& state, const std::filesystem::path& sLeaguePath) {
    LeagueFileRec rec{};  // cleared: a short file leaves the rest of the tag as zeros

    // Anything but a regular file (a folder, a pipe, a device) is refused
    // before it is opened: reading a pipe would wait for ever.
    std::error_code ec;
    const auto status = std::filesystem::status(sLeaguePath, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw Refusal("Cannot read the league file " + PathText(sLeaguePath) +
                      ": it is not a regular file.\n\nNo file was changed.");

    QFile file(ToQString(sLeaguePath));
    // The game's tools open the league file for binary access, which creates
    // a missing file empty; we keep that, so a path that names no file reads
    // as an empty league file (and so as an unknown tag).
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly)) ThrowFileError("open", sLeaguePath, file);
        file.close();
    }
    if (!file.open(QIODevice::ReadOnly)) ThrowFileError("open", sLeaguePath, file);
    const qint64 got = file.read(rec.tag.data(), static_cast<qint64>(rec.tag.size()));
    if (got < 0) ThrowFileError("read", sLeaguePath, file);
    file.close();

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
