// What a run does when the disk fails it: a write that finds the disk full, a
// flush or a rename that fails, a file system without hard links. The file
// being replaced stays as it was, byte for byte, the new file is removed, and
// the message names the file, what was being done and the system's own
// reason. The failures are real failing system calls in the run's own
// process, made so by a library preloaded into it (fault_shim.cpp).

#include <gtest/gtest.h>

#include <set>

#include "Driver.h"
#include "LeagueFolder.h"
#include "db/Error.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

// A league after a Hide and a Restore: it has a .pot to replace, and its
// player file is the one it started with.
struct League : test::LeagueFolder {
    League() {
        EXPECT_EQ(Run(run::Operation::Hide).kind, run::Outcome::Kind::Done);
        EXPECT_EQ(Run(run::Operation::Restore).kind, run::Outcome::Kind::Done);
        fs::remove_all(dir / "Demo.history");
        pyrBytes = test::ReadFileBytes(pyr);
        potBytes = test::ReadFileBytes(pot);
    }
    Bytes pyrBytes, potBytes;
};

TEST(Faults, AFailedWriteFlushOrRenameKeepsTheOldFileAndSaysWhy) {
    struct Case {
        std::string fault;       // TAVRIN_FAULT: call, error, file
        std::string step;        // where the run stopped
        std::string says;        // the system's reason, in the message with the file
        std::string file;        // the file the message names
        bool potReplaced;        // the true potentials were kept before it failed
    };
    const std::vector<Case> cases{
        {"write:ENOSPC:*/Demo.pot.tavrin-new", "Keeping the true potentials", "No space left on device",
         "Demo.pot.tavrin-new", false},
        {"sync:EIO:*/Demo.pot.tavrin-new", "Keeping the true potentials", "Input/output error", "Demo.pot.tavrin-new",
         false},
        {"rename:EIO:*/Demo.pot", "Keeping the true potentials", "Input/output error", "Demo.pot", false},
        {"write:ENOSPC:*/Demo.pyr.tavrin-new", "Saving the league", "No space left on device", "Demo.pyr.tavrin-new",
         true},
        {"sync:EIO:*/Demo.pyr.tavrin-new", "Saving the league", "Input/output error", "Demo.pyr.tavrin-new", true},
        {"rename:EIO:*/Demo.pyr", "Saving the league", "Input/output error", "Demo.pyr", true},
        // The working database, on a full disk, in the database engine's words.
        {"pwrite:ENOSPC:*/Temp.mdb", "Loading the league", "disk is full", "Temp.mdb", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        League league;
        const test::DriverRun r = test::RunDriver(
            {"hide", league.lge, league.work.path(), {{"LD_PRELOAD", TAVRIN_FAULT_SHIM}, {"TAVRIN_FAULT", c.fault}}, {}});
        EXPECT_EQ(r.outcome, "Failed") << r.output;
        EXPECT_EQ(r.step, c.step);
        const fs::path named = (c.file == "Temp.mdb" ? league.work : league.dir) / c.file;
        EXPECT_NE(r.message.find(PathText(named)), std::string::npos) << r.message;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        EXPECT_EQ(test::ReadFileBytes(league.dir / "Demo.pyr"), league.pyrBytes);
        if (!c.potReplaced) {
            EXPECT_EQ(test::ReadFileBytes(league.dir / "Demo.pot"), league.potBytes);
        }
        for (const auto& [name, bytes] : test::Snapshot(league.dir.path()))
            EXPECT_FALSE(name.ends_with(".tavrin-new")) << name;
    }
}

TEST(Faults, AFailedNoteOrNoHardLinksStillSavesTheLeague) {
    // The note after the save, on a full disk: the league is saved, the .pot
    // stays the copy made before the save, and the message says so.
    {
        League league;
        const test::DriverRun r = test::RunDriver({"hide", league.lge, league.work.path(),
                                                   {{"LD_PRELOAD", TAVRIN_FAULT_SHIM},
                                                    {"TAVRIN_FAULT", "pwrite:ENOSPC:*/Demo.pot.tavrin-new"}},
                                                   {}});
        EXPECT_EQ(r.outcome, "Done") << r.output;
        EXPECT_NE(r.message.find("the note of what was saved could not be written"), std::string::npos) << r.message;
        EXPECT_NE(test::ReadFileBytes(league.dir / "Demo.pyr"), league.pyrBytes);
        EXPECT_EQ(test::SqlText(league.dir / "Demo.pot", "SELECT count(*) FROM sqlite_master WHERE name = 'SavedPlayerFile'"),
                  "0");
        for (const auto& [name, bytes] : test::Snapshot(league.dir.path()))
            EXPECT_FALSE(name.ends_with(".tavrin-new")) << name;
    }
    // A file system without hard links (a USB stick's): the history keeps
    // copies of the replaced files, byte for byte.
    {
        League league;
        const test::DriverRun r = test::RunDriver(
            {"hide", league.lge, league.work.path(), {{"LD_PRELOAD", TAVRIN_FAULT_SHIM}, {"TAVRIN_FAULT", "link:EPERM:*"}}, {}});
        EXPECT_EQ(r.outcome, "Done") << r.output;
        std::multiset<Bytes> kept;
        for (const auto& entry : fs::directory_iterator(league.dir / "Demo.history"))
            kept.insert(test::ReadFileBytes(entry.path()));
        EXPECT_EQ(kept, (std::multiset<Bytes>{league.pyrBytes, league.potBytes}));
    }
}

}  // namespace
}  // namespace tavrin
