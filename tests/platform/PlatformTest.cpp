// The file system layer every promise about the user's files rests on, the
// same tests for its POSIX side and its Windows side (run under Wine): new
// files made exclusively and never through a link, reads and writes at an
// offset as the database engine makes them, second names, renames over a
// closed file, a lock that is a real lock, names that are not ASCII, and
// names that differ only in case as each system compares them.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Fixture.h"
#include "league/ProgramState.h"
#include "platform/Platform.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tavrin {
namespace {

using platform::File;
using platform::Folder;
using platform::Kind;
using test::Bytes;

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string ReadAll(File& file) {
    std::string text(1024, '\0');
    text.resize(file.ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size())));
    return text;
}

std::string Contents(const Folder& folder, const fs::path& name) {
    File file = folder.OpenToRead(name);
    return ReadAll(file);
}

void Make(const Folder& folder, const fs::path& name, const std::string& text) {
    auto file = folder.CreateNew(name);
    ASSERT_TRUE(file) << name;
    file->Write(AsBytes(text));
    file->Close();
}

std::int64_t ThisProcess() {
#if defined(_WIN32)
    return static_cast<std::int64_t>(GetCurrentProcessId());
#else
    return ::getpid();
#endif
}

TEST(Platform, NewFilesAreMadeOnlyWhereTheNameIsFreeAndReadAndWrittenAtAnyOffset) {
    test::TempDir dir;
    const Folder folder = Folder::Open(dir.path());
    auto file = folder.CreateNew("Demo.pot.tavrin-new");
    ASSERT_TRUE(file);
    EXPECT_FALSE(folder.CreateNew("Demo.pot.tavrin-new")) << "a taken name is never opened";

    // As the database engine writes a file: pages out of order, past the end,
    // read back whole and in part; cut and extended.
    file->WriteAt(4096, AsBytes("page two"));
    file->WriteAt(0, AsBytes("page one"));
    EXPECT_EQ(file->Info().size, 4104u);
    std::string part(4, '\0');
    EXPECT_EQ(file->ReadAt(4101, std::span(reinterpret_cast<std::uint8_t*>(part.data()), part.size())), 3u);
    EXPECT_EQ(part.substr(0, 3), "two");
    EXPECT_EQ(file->ReadAt(5000, std::span(reinterpret_cast<std::uint8_t*>(part.data()), part.size())), 0u);
    file->Truncate(4);
    EXPECT_EQ(ReadAll(*file), "page");
    file->Truncate(6);
    EXPECT_EQ(ReadAll(*file), std::string("page\0\0", 6));
    file->Sync();
    const platform::FileInfo info = file->Info();
    EXPECT_EQ(info.kind, Kind::Regular);
    EXPECT_TRUE(info.WritableByItsBits());
    file->Close();
    EXPECT_TRUE(folder.Info("Demo.pot.tavrin-new").SameFile(info));

    // Read from where it stands, and copied whole from there.
    Make(folder, "source", "0123456789");
    File source = folder.OpenToRead("source");
    std::array<std::uint8_t, 3> head{};
    EXPECT_EQ(source.Read(head), 3u);
    auto copy = folder.CreateNew("copy");
    ASSERT_TRUE(copy);
    copy->AppendCopyOf(source);
    copy->Close();
    EXPECT_EQ(Contents(folder, "copy"), "3456789");

    // Nothing but a regular file is opened to read; a missing name is no error
    // to look at.
    folder.MakeFolder("sub");
    EXPECT_EQ(folder.Info("sub").kind, Kind::Folder);
    EXPECT_THROW((void)folder.OpenToRead("sub"), Error);
    EXPECT_THROW((void)folder.OpenToRead("missing"), Error);
    EXPECT_EQ(folder.Info("missing").kind, Kind::Missing);
    EXPECT_FALSE(folder.OpenFolder("missing"));
    EXPECT_THROW((void)folder.OpenFolder("copy"), Error);
}

TEST(Platform, ALinkIsNeverFollowedWhereTheSystemLetsUsMakeOne) {
    test::TempDir dir, elsewhere;
    test::WriteFileBytes(elsewhere / "target", {1, 2, 3});
    std::error_code noLinks;
    fs::create_symlink(elsewhere / "target", dir / "Demo.pyr", noLinks);
    // Windows asks for developer mode or an administrator; Wine makes none.
    if (noLinks) GTEST_SKIP() << "this system makes no symbolic links here: " << noLinks.message();
    fs::create_directory_symlink(elsewhere.path(), dir / "Demo.history");
    const Folder folder = Folder::Open(dir.path());
    EXPECT_EQ(folder.Info("Demo.pyr").kind, Kind::Link);
    EXPECT_EQ(folder.LinkTarget("Demo.pyr"), elsewhere / "target");
    try {
        (void)folder.OpenToRead("Demo.pyr");
        ADD_FAILURE() << "read through a link";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("it is a symbolic link"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(folder.CreateNew("Demo.pyr"));
    EXPECT_THROW((void)folder.OpenFolder("Demo.history"), Error);
    platform::Lock::Blocked blocked;
    EXPECT_FALSE(platform::Lock::Take(folder, "Demo.pyr", blocked));
    EXPECT_EQ(blocked.notALockFile, "it is a symbolic link");
    EXPECT_EQ(test::ReadFileBytes(elsewhere / "target"), (Bytes{1, 2, 3}));
}

TEST(Platform, SecondNamesAndRenamesOverAClosedFile) {
    test::TempDir dir;
    const Folder folder = Folder::Open(dir.path());
    const Folder history = folder.MakeFolder("Demo.history");
    Make(folder, "Demo.pyr", "old");
    Make(folder, "Demo.pyr.tavrin-new", "new");

    // The history's second name is the very file, until the league's name is
    // given to another: then it alone keeps the old bytes.
    ASSERT_EQ(folder.Link("Demo.pyr", history, "0001 before Hide.pyr"), Folder::LinkResult::Linked);
    EXPECT_EQ(folder.Link("Demo.pyr", history, "0001 before Hide.pyr"), Folder::LinkResult::NameTaken);
    EXPECT_TRUE(history.Info("0001 before Hide.pyr").SameFile(folder.Info("Demo.pyr")));
    const platform::FileInfo old = folder.Info("Demo.pyr");
    folder.Rename("Demo.pyr.tavrin-new", folder, "Demo.pyr");
    folder.Sync();
    EXPECT_EQ(Contents(folder, "Demo.pyr"), "new");
    EXPECT_EQ(Contents(history, "0001 before Hide.pyr"), "old");
    EXPECT_TRUE(history.Info("0001 before Hide.pyr").Unchanged(old));
    EXPECT_EQ(folder.Info("Demo.pyr.tavrin-new").kind, Kind::Missing);

    // Back from the history, across folders.
    history.Rename("0001 before Hide.pyr", folder, "Demo.pyr");
    EXPECT_EQ(Contents(folder, "Demo.pyr"), "old");
    EXPECT_EQ(history.Names(), std::vector<fs::path>{});

    // Two names swapped in one step where the system can (Linux), else
    // nothing changed: the commit then renames, as above.
    Make(folder, "a", "A");
    Make(folder, "b", "B");
    if (folder.Exchange("a", "b")) {
        EXPECT_EQ(Contents(folder, "a") + Contents(folder, "b"), "BA");
    } else {
        EXPECT_EQ(Contents(folder, "a") + Contents(folder, "b"), "AB");
    }
#if defined(_WIN32)
    EXPECT_FALSE(folder.Exchange("a", "b"));
#endif
    folder.Remove("a");
    folder.Remove("a");  // gone already: nothing to do
    EXPECT_EQ(folder.Info("a").kind, Kind::Missing);
    EXPECT_TRUE(folder.CanWrite());
    EXPECT_TRUE(platform::CanCreateFilesIn(dir.path()));
}

TEST(Platform, ALockKeepsOutEveryOtherTakerUntilItsHolderLetsGo) {
    test::TempDir dir;
    const Folder folder = Folder::Open(dir.path());
    platform::Lock::Blocked blocked;
    std::optional<platform::Lock> held = platform::Lock::Take(folder, "Demo.lge.lock", blocked);
    ASSERT_TRUE(held);
    EXPECT_EQ(folder.Info("Demo.lge.lock").kind, Kind::Regular);
    // Another taker (another handle, as another process would hold one) is
    // kept out and told who holds it.
    EXPECT_FALSE(platform::Lock::Take(folder, "Demo.lge.lock", blocked));
    EXPECT_EQ(blocked.process, ThisProcess());
    EXPECT_TRUE(blocked.notALockFile.empty());
    held.reset();
    EXPECT_EQ(folder.Info("Demo.lge.lock").kind, Kind::Missing) << "a lock let go leaves no file";

    // A lock file left by a run that died holds nothing.
    Make(folder, "Demo.lge.lock", "12345\n");
    EXPECT_TRUE(platform::Lock::Take(folder, "Demo.lge.lock", blocked));
    // A folder in its place is no lock file, and is named as such.
    folder.MakeFolder("Temp.mdb.lock");
    platform::Lock::Blocked folderThere;
    EXPECT_FALSE(platform::Lock::Take(folder, "Temp.mdb.lock", folderThere));
    EXPECT_EQ(folderThere.notALockFile, "it is a folder");
}

TEST(Platform, NamesThatAreNotAsciiAndNamesThatDifferOnlyInCase) {
    // A league in C:\Users\Zoë\Documents\Ligen\ on Windows, in UTF-8 elsewhere.
    test::TempDir dir;
    const Folder top = Folder::Open(dir.path());
    const Folder zoe = top.MakeFolder(fs::path(u8"Zoë"));
    const Folder ligen = zoe.MakeFolder("Ligen");
    const fs::path league = fs::path(u8"Meisterschaft Ä €.pyr");
    Make(ligen, league, "players");
    EXPECT_EQ(ligen.Names(), std::vector<fs::path>{league});
    EXPECT_EQ(Contents(Folder::Open(dir / fs::path(u8"Zoë") / "Ligen"), league), "players");
    EXPECT_EQ(ligen.Path(), dir / fs::path(u8"Zoë") / "Ligen");
    EXPECT_TRUE(fs::exists(dir / fs::path(u8"Zoë/Ligen/Meisterschaft Ä €.pyr")));
    // Lengths in the units each system limits: bytes of UTF-8, or UTF-16.
#if defined(_WIN32)
    EXPECT_EQ(platform::NameLength(league), 21u);
#else
    EXPECT_EQ(platform::NameLength(league), 24u);
#endif

    // Windows finds a name whatever its case, and keeps the spelling it was
    // made with; POSIX systems tell the two apart.
    Make(ligen, "DEMO.PYR", "upper");
#if defined(_WIN32)
    EXPECT_EQ(ligen.Info("Demo.pyr").kind, Kind::Regular);
    EXPECT_TRUE(ligen.Info("Demo.pyr").SameFile(ligen.Info("DEMO.PYR")));
    EXPECT_FALSE(ligen.CreateNew("demo.pyr"));
#else
    EXPECT_EQ(ligen.Info("Demo.pyr").kind, Kind::Missing);
    EXPECT_TRUE(ligen.CreateNew("demo.pyr"));
#endif
    const std::vector<fs::path> names = ligen.Names();
    EXPECT_NE(std::find(names.begin(), names.end(), fs::path("DEMO.PYR")), names.end());
    // What a run looks up finds the spelling on the disk.
#if defined(_WIN32)
    const fs::path spelled = "DEMO.PYR";
#else
    const fs::path spelled = "Demo.Pyr";  // two spellings there, demo.pyr and DEMO.PYR: none is chosen
#endif
    EXPECT_EQ(SpelledOnDisk(ligen.PathOf("Demo.Pyr")).filename(), spelled);
}

TEST(Platform, TheUsersCacheFolderIsWhereTheSystemKeepsProgramsData) {
#if !defined(_WIN32)
    test::TempDir home;
    ::setenv("XDG_CACHE_HOME", home.path().c_str(), 1);
#endif
    const fs::path cache = platform::CacheFolder();
    EXPECT_TRUE(fs::is_directory(cache));
#if defined(_WIN32)
    // %LOCALAPPDATA%, as the shell's known folder names it.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    ASSERT_TRUE(local);
    EXPECT_EQ(cache, fs::path(local) / "Tavrin" / "Tavrin" / "cache");
    EXPECT_FALSE(platform::RunningAsAdministrator());
#else
    EXPECT_TRUE(cache.generic_string().ends_with("/Tavrin/Tavrin")) << cache;
#endif
    EXPECT_TRUE(fs::is_directory(platform::ProgramFolder()));
}

}  // namespace
}  // namespace tavrin
