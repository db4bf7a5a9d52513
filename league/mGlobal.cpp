#include "league/mGlobal.h"

#include <QString>

namespace tavrin {

std::filesystem::path SpelledOnDisk(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return path;
    const QString wanted = QString::fromStdU16String(path.filename().u16string());
    std::filesystem::path found;
    int matches = 0;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const QString name = QString::fromStdU16String(entry.path().filename().u16string());
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            found = path.parent_path() / entry.path().filename();
            ++matches;
        }
    }
    return matches == 1 ? found : path;
}

void SetLeaguePaths(ProgramState& state, const std::filesystem::path& sLeaguePath) {
    // Characters, not bytes: the path is cut as UTF-16 text, as the user sees it.
    std::u16string base = sLeaguePath.u16string();
    base.resize(base.size() >= 3 ? base.size() - 3 : 0);
    state.sPyrPath = SpelledOnDisk(std::filesystem::path(base + u"pyr"));
    state.sPotPath = SpelledOnDisk(std::filesystem::path(base + u"pot"));
}

}  // namespace tavrin
