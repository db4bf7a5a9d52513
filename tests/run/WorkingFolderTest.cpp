// Where Temp.mdb goes: beside the program only in a folder of the user's own
// (a copy they built or unpacked), else in the user's cache folder.

#include <gtest/gtest.h>

#include <cstdlib>

#include "Fixture.h"
#include "platform/Platform.h"
#include "run/WorkingFolder.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace tavrin {
namespace {

TEST(WorkingFolder, BesideTheProgramOnlyInAFolderOfTheUsersOwn) {
    test::TempDir home;
#if defined(_WIN32)
    const fs::path cache = platform::CacheFolder();
    EXPECT_TRUE(cache.generic_wstring().ends_with(L"/Tavrin/Tavrin/cache")) << cache;
#else
    ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    const fs::path cache = home / "cache/Tavrin/Tavrin";
    EXPECT_EQ(platform::CacheFolder(), cache);
#endif
    // The user's own build folder keeps it, and no probe is left there.
    const fs::path own = home / "build";
    fs::create_directory(own);
    EXPECT_EQ(run::WorkingFolder(own), own);
    EXPECT_TRUE(fs::is_empty(own));

    std::vector<fs::path> elsewhere{home / "gone"};
    fs::path deep;
#if !defined(_WIN32)
    // A folder SQLite cannot name (over 511 bytes with the file's name):
    // every run would fail at the import.
    const auto withPathOf = [&](std::size_t bytes, char c) {
        fs::path p = own;
        while (bytes - p.u8string().size() - 10 > 200) p /= std::string(200, c);
        p /= std::string(bytes - p.u8string().size() - 10, c);  // and "/Temp.mdb"
        fs::create_directories(p);
        return p;
    };
    const fs::path edge = withPathOf(511, 'e');
    deep = withPathOf(512, 'd');
    EXPECT_EQ(run::WorkingFolder(edge), edge);
    elsewhere.push_back(deep);
#else
    // (Windows names no path that long: its own limit, 260 units, comes
    // first.) Where programs are installed, as the system names it.
    if (const wchar_t* programs = _wgetenv(L"ProgramFiles")) elsewhere.emplace_back(fs::path(programs) / L"Tavrin");
#endif

#if !defined(_WIN32)
    // System folders, even where this user owns them and may write (root).
    for (const char* system : {"/usr/bin", "/usr/local/bin", "/opt/tavrin/bin"}) elsewhere.emplace_back(system);
    // A folder of another user's that this one may write to: handed to
    // nobody when running as root, else the shared /tmp (root's).
    const fs::path other = home / "other";
    fs::create_directory(other);
    fs::permissions(other, fs::perms::all);
    elsewhere.push_back(::chown(other.c_str(), 65534, 65534) == 0 ? other : fs::path("/tmp"));
#endif
    for (const fs::path& folder : elsewhere) {
        EXPECT_FALSE(run::KeepsWorkingDatabaseBeside(folder)) << folder;
        EXPECT_EQ(run::WorkingFolder(folder), cache) << folder;
    }
    EXPECT_TRUE(fs::is_directory(cache));
    if (!deep.empty()) {
        EXPECT_TRUE(fs::is_empty(deep));
    }
}

}  // namespace
}  // namespace tavrin
