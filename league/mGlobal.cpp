#include "mGlobal.h"

namespace tavrin {

void SetLeaguePaths(ProgramState& state, const std::filesystem::path& sLeaguePath) {
    // Characters, not bytes: the path is cut as UTF-16 text, as the user sees it.
    std::u16string base = sLeaguePath.u16string();
    base.resize(base.size() >= 3 ? base.size() - 3 : 0);
    state.sPyrPath = std::filesystem::path(base + u"pyr");
    state.sPotPath = std::filesystem::path(base + u"pot");
}

}  // namespace tavrin
