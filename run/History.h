#pragma once

// The league's history: every saved-potentials file and player file a run
// replaces is kept first, in a folder beside the league (for Demo.lge,
// Demo.history/), under a name that says when and before what it was
// replaced: "2026-12-05T21-48-50 before Hide.pot". Bringing one back is a
// copy over the league's own file (or `tavrin restore --from`).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::run {

class History {
public:
    // The history of the league file `league`: its path without the last
    // three characters, followed by "history".
    explicit History(const std::filesystem::path& league);

    const std::filesystem::path& Folder() const { return folder_; }

    // Starts a run: fixes its time stamp, one no earlier run of this league
    // has ("2026-12-05T21-48-50", or "2026-12-05T21-48-50.2" for a second run
    // within the same second).
    void BeginRun(std::string_view operation);
    // The name this run keeps a replaced file under, for its extension
    // ("pot", "pyr"); creates the folder.
    std::filesystem::path KeepAs(std::string_view extension);

    struct Entry {
        std::filesystem::path file;
        std::string run;        // its time stamp
        std::string operation;  // what it was kept before
    };
    // The kept files, oldest run first.
    std::vector<Entry> Entries() const;
    // Deletes the files of all but the newest `runs` runs.
    void Prune(int runs) const;

    // The longest name this history will give a file (for checks of name
    // lengths before a run).
    static std::size_t LongestEntryName();

private:
    std::filesystem::path folder_;
    std::string stamp_;
    std::string operation_;
};

}  // namespace tavrin::run
