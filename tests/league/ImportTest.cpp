// Loading a player file into a fresh working database.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Error.h"
#include "LeagueGenerator.h"
#include "LeagueTestSupport.h"
#include "TempDir.h"
#include "mDbase.h"
#include "mGlobal.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::ReadPlayers;
using test::RecordingProgress;
using test::TempDir;

void Import(ProgramState& state, gen::Kind kind, const fs::path& pyr) {
    if (kind == gen::Kind::L02) ImportLeagueL02(state, pyr);
    else ImportLeagueL03(state, pyr);
}

const char* KindName(gen::Kind kind) { return kind == gen::Kind::L02 ? "L02" : "L03"; }

TEST(Import, AHeaderOnlyFileGivesNoRowsAndNoProgress) {
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        SCOPED_TRACE(KindName(kind));
        TempDir dir;
        gen::WriteLeague(dir.path(), "lg", test::MakeLeague(kind, 9, 4, 0));
        ASSERT_EQ(fs::file_size(dir / "lg.pyr"), kind == gen::Kind::L02 ? 51u : 60u);

        RecordingProgress progress;
        ProgramState state;
        state.appDir = dir.path();
        state.progress = &progress;
        Import(state, kind, dir / "lg.pyr");
        EXPECT_TRUE(ReadPlayers(state.WorkingDatabasePath()).empty());
        EXPECT_TRUE(progress.updates.empty());
        EXPECT_EQ(progress.shows, 1);
        EXPECT_EQ(progress.unloads, 1);
    }
}

TEST(Import, EveryWholeRecordBecomesARowInFileOrder) {
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        // With and without a partial record behind the last whole one.
        for (const std::size_t trailing : {std::size_t{0}, std::size_t{1}, std::size_t{50}}) {
            SCOPED_TRACE(std::string(KindName(kind)) + ", " + std::to_string(trailing) + " trailing bytes");
            TempDir dir;
            auto league = test::MakeLeague(kind, 201, 14, 7, 5);
            league.trailing.assign(trailing, 0xEE);
            gen::WriteLeague(dir.path(), "lg", league);

            RecordingProgress progress;
            ProgramState state;
            state.appDir = dir.path();
            state.progress = &progress;
            Import(state, kind, dir / "lg.pyr");

            const auto rows = ReadPlayers(state.WorkingDatabasePath());
            ASSERT_EQ(rows.size(), 7u);
            for (std::size_t i = 0; i < rows.size(); ++i) test::ExpectRowIsPlayer(rows[i], league.players[i], kind);

            // n records: n steps of 100 / (n + 1), the header counting as one.
            ASSERT_EQ(progress.updates.size(), 7u);
            for (const auto& u : progress.updates) {
                EXPECT_EQ(u.text, "Loading League");
                EXPECT_EQ(u.increment, 100.0 / 8);
            }
            EXPECT_EQ(progress.shows, 1);
            EXPECT_EQ(progress.unloads, 1);
            // The header stays for the save.
            EXPECT_EQ(state.tables.iKeyTable[0], 201);
        }
    }
}

TEST(Import, ASecondImportLeavesOnlyTheSecondLeague) {
    TempDir dir;
    const auto first = test::MakeLeague(gen::Kind::L03, 3, 4, 9, 11);
    const auto second = test::MakeLeague(gen::Kind::L02, 200, 17, 5, 12);
    gen::WriteLeague(dir.path(), "first", first);
    gen::WriteLeague(dir.path(), "second", second);

    ProgramState state;
    state.appDir = dir.path();
    ImportLeagueL03(state, dir / "first.pyr");
    ASSERT_EQ(ReadPlayers(state.WorkingDatabasePath()).size(), 9u);
    ImportLeagueL02(state, dir / "second.pyr");

    const auto rows = ReadPlayers(state.WorkingDatabasePath());
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t i = 0; i < rows.size(); ++i) test::ExpectRowIsPlayer(rows[i], second.players[i], gen::Kind::L02);
}

TEST(Import, AMissingOrShortPlayerFileIsRefusedAndNothingChanges) {
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        SCOPED_TRACE(KindName(kind));
        TempDir dir;
        // A working database from an earlier run, which must survive.
        const auto earlier = test::MakeLeague(kind, 50, 3, 4, 21);
        gen::WriteLeague(dir.path(), "earlier", earlier);
        ProgramState state;
        state.appDir = dir.path();
        Import(state, kind, dir / "earlier.pyr");
        const auto workingBefore = test::ReadFileBytes(state.WorkingDatabasePath());

        const std::size_t len = kind == gen::Kind::L02 ? 51 : 60;
        const std::vector<std::vector<unsigned char>> shortFiles{
            {}, {50, 3}, std::vector<unsigned char>(len - 1, 7)};
        for (std::size_t i = 0; i < shortFiles.size(); ++i) {
            const auto pyr = dir / ("short" + std::to_string(i) + ".pyr");
            test::WriteFileBytes(pyr, shortFiles[i]);
            EXPECT_THROW(Import(state, kind, pyr), Refusal) << shortFiles[i].size() << " bytes";
            EXPECT_EQ(test::ReadFileBytes(pyr), shortFiles[i]);
        }

        const auto missing = dir / "missing.pyr";
        EXPECT_THROW(Import(state, kind, missing), Refusal);
        EXPECT_FALSE(fs::exists(missing));

        EXPECT_EQ(test::ReadFileBytes(state.WorkingDatabasePath()), workingBefore);
        const auto rows = ReadPlayers(state.WorkingDatabasePath());
        ASSERT_EQ(rows.size(), 4u);
        test::ExpectRowIsPlayer(rows[3], earlier.players[3], kind);
    }
}

TEST(Import, ARefusalLeavesNoWorkingDatabaseWhereThereWasNone) {
    TempDir dir;
    ProgramState state;
    state.appDir = dir.path();
    EXPECT_THROW(ImportLeagueL02(state, dir / "missing.pyr"), Refusal);
    EXPECT_FALSE(fs::exists(state.WorkingDatabasePath()));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace tavrin
