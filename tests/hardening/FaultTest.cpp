// What a run does when the disk fails it: a write that finds the disk full, a
// flush or a rename that fails, a file system without hard links. The file
// being replaced stays as it was, byte for byte, the new file is removed, and
// the message names the file, what was being done and the system's own
// reason. The failures are real failing system calls in the run's own
// process, made so by a library preloaded into it (fault_shim.cpp).

#include <set>

#include "Driver.h"
#include "LeagueFolder.h"

namespace tavrin {
namespace {

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

// No new file beside the league's, and nothing in its history.
void ExpectNothingOfTheRunLeft(const League& league) {
    for (const auto& [name, bytes] : test::Snapshot(league.dir.path()))
        EXPECT_FALSE(name.ends_with(".tavrin-new") || (name.starts_with("Demo.history/") && name != "Demo.history/"))
            << name;
}

TEST(Faults, AFailedWriteFlushOrRenameKeepsTheOldFilesAndSaysWhy) {
    struct Case {
        std::string fault;  // TAVRIN_FAULT: call, error, file
        std::string step;   // where the run stopped
        std::string says;   // the system's reason, in the message with the file
        std::string file;   // the file the message names
    };
    const std::vector<Case> cases{
        {"write:ENOSPC:*/Demo.pot.tavrin-new", "Keeping the true potentials", "No space left on device",
         "Demo.pot.tavrin-new"},
        {"sync:EIO:*/Demo.pot.tavrin-new", "Saving the league", "Input/output error", "Demo.pot.tavrin-new"},
        {"close:EIO:*/Demo.pot.tavrin-new", "Saving the league", "Input/output error", "Demo.pot.tavrin-new"},
        {"rename:EIO:*/Demo.pot", "Saving the league", "Input/output error", "Demo.pot"},
        {"write:ENOSPC:*/Demo.pyr.tavrin-new", "Saving the league", "No space left on device", "Demo.pyr.tavrin-new"},
        {"write:NOTHING:*/Demo.pyr.tavrin-new", "Saving the league", "No space left on device", "Demo.pyr.tavrin-new"},
        {"sync:EIO:*/Demo.pyr.tavrin-new", "Saving the league", "Input/output error", "Demo.pyr.tavrin-new"},
        {"close:EIO:*/Demo.pyr.tavrin-new", "Saving the league", "Input/output error", "Demo.pyr.tavrin-new"},
        {"rename:EIO:*/Demo.pyr", "Saving the league", "Input/output error", "Demo.pyr"},
        // The working database on a full disk, in the database engine's
        // words; the new .pot's record, written in place, in the system's.
        {"pwrite:ENOSPC:*/Temp.mdb", "Loading the league", "disk is full", "Temp.mdb"},
        {"pwrite:ENOSPC:*/Demo.pot.tavrin-new", "Saving the league", "No space left on device", "Demo.pot.tavrin-new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        League league;
        const test::DriverRun r = test::RunDriver(
            {"hide", league.lge, league.work.path(), {{"LD_PRELOAD", TAVRIN_FAULT_SHIM}, {"TAVRIN_FAULT", c.fault}}, {}});
        EXPECT_EQ(r.outcome, "Failed") << r.output;
        EXPECT_EQ(r.step, c.step);
        const fs::path named = (c.file.starts_with("Temp.") ? league.work : league.dir) / c.file;
        EXPECT_NE(r.message.find(PathText(named)), std::string::npos) << r.message;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find("PRAGMA"), std::string::npos) << "our statements are no reason";
        // Both files as they were, and nothing of the run's left beside them.
        EXPECT_EQ(test::ReadFileBytes(league.dir / "Demo.pyr"), league.pyrBytes);
        EXPECT_EQ(test::ReadFileBytes(league.dir / "Demo.pot"), league.potBytes);
        ExpectNothingOfTheRunLeft(league);
    }
    // The league folder's flush, the last step: the new files are in place,
    // and the message says so.
    League league;
    const test::DriverRun r = test::RunDriver({"hide", league.lge, league.work.path(),
                                               {{"LD_PRELOAD", TAVRIN_FAULT_SHIM},
                                                {"TAVRIN_FAULT", "sync:EIO:" + league.dir.path().string()}},
                                               {}});
    EXPECT_EQ(r.outcome, "Failed") << r.output;
    EXPECT_NE(r.message.find("Input/output error. The new files are in place"), std::string::npos) << r.message;
    EXPECT_EQ(test::ReadFileBytes(league.pyr), test::Hidden(league.league, 50));
}

TEST(Faults, CallsASignalCutShortAreMadeAgain) {
    for (const char* fault : {"write:EINTR:*/Demo.pyr.tavrin-new", "sync:EINTR:*/Demo.pot.tavrin-new"}) {
        League league;
        const test::DriverRun r = test::RunDriver(
            {"hide", league.lge, league.work.path(), {{"LD_PRELOAD", TAVRIN_FAULT_SHIM}, {"TAVRIN_FAULT", fault}}, {}});
        EXPECT_EQ(r.outcome, "Done") << fault << ": " << r.output;
        EXPECT_EQ(test::ReadFileBytes(league.pyr), test::Hidden(league.league, 50)) << fault;
    }
}

TEST(Faults, AFileSystemThatCannotSwapTwoNamesStillPutsBothFilesInPlace) {
    // As on Windows and on file systems without the exchange: the player
    // file replaced by a rename, the one it replaced kept in the history.
    League league;
    const test::DriverRun r = test::RunDriver(
        {"hide", league.lge, league.work.path(), {{"LD_PRELOAD", TAVRIN_FAULT_SHIM}, {"TAVRIN_NO_EXCHANGE", "1"}}, {}});
    EXPECT_EQ(r.outcome, "Done") << r.output;
    EXPECT_EQ(test::ReadFileBytes(league.pyr), test::Hidden(league.league, 50));
    std::multiset<Bytes> kept;
    for (const auto& entry : fs::directory_iterator(league.dir / "Demo.history"))
        if (entry.path().extension() != ".run") kept.insert(test::ReadFileBytes(entry.path()));
    EXPECT_EQ(kept, (std::multiset<Bytes>{league.pyrBytes, league.potBytes}));
}

TEST(Faults, WithoutHardLinksTheHistoryKeepsCopies) {
    // A file system without hard links (a USB stick's), which cannot copy
    // within the kernel either: the history keeps copies of the replaced
    // files, byte for byte.
    League league;
    const test::DriverRun r = test::RunDriver({"hide", league.lge, league.work.path(),
                                               {{"LD_PRELOAD", TAVRIN_FAULT_SHIM},
                                                {"TAVRIN_FAULT", "link:EPERM:*"},
                                                {"TAVRIN_NO_COPY_RANGE", "1"}},
                                               {}});
    EXPECT_EQ(r.outcome, "Done") << r.output;
    std::multiset<Bytes> kept;
    for (const auto& entry : fs::directory_iterator(league.dir / "Demo.history"))
        if (entry.path().extension() != ".run") kept.insert(test::ReadFileBytes(entry.path()));
    EXPECT_EQ(kept, (std::multiset<Bytes>{league.pyrBytes, league.potBytes}));
}

TEST(Faults, TheGameSavingDuringTheCommitKeepsItsFile) {
    // The game writes the player file at the last moments of a save: before
    // the last look at it (the link that keeps it), and after (the .pot's
    // rename, just before the player file's; on a file system that cannot
    // swap two names, the player file's own rename). Either way its bytes are
    // the league's, the .pot stays the old one, and the run says why.
    for (const auto& [moment, noExchange] : std::vector<std::pair<std::string, const char*>>{
             {"link:GAME:*/Demo.pyr", "0"}, {"rename:GAME:*/Demo.pot", "0"}, {"rename:GAME:*/Demo.pyr", "1"}}) {
        SCOPED_TRACE(moment);
        League league;
        Bytes game = league.pyrBytes;
        game[51] = static_cast<unsigned char>(~game[51]);
        const test::DriverRun r = test::RunDriver({"hide", league.lge, league.work.path(),
                                                   {{"LD_PRELOAD", TAVRIN_FAULT_SHIM},
                                                    {"TAVRIN_FAULT", moment},
                                                    {"TAVRIN_GAME_WRITES", PathText(league.dir / "Demo.pyr")},
                                                    {"TAVRIN_NO_EXCHANGE", noExchange}},
                                                   {}});
        EXPECT_EQ(r.outcome, "Refused") << r.output;
        EXPECT_NE(r.message.find("the file changed "), std::string::npos) << r.message;
        EXPECT_EQ(test::ReadFileBytes(league.dir / "Demo.pyr"), game);
        EXPECT_EQ(test::ReadFileBytes(league.dir / "Demo.pot"), league.potBytes);
        ExpectNothingOfTheRunLeft(league);
    }
}

}  // namespace
}  // namespace tavrin
