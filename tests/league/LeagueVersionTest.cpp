// Telling the league's format from the tag at the start of its league file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "mGlobal.h"
#include "mLeagueVersion.h"

namespace tavrin {
namespace {

using test::TempDir;

std::vector<unsigned char> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(LeagueVersion, TheTagAloneDecidesTheFormat) {
    struct Case {
        std::string contents;
        std::int16_t code;
    };
    const std::vector<Case> cases{
        {"L02:", kLeagueL02},
        {std::string("L02:\0\xFF rest of the header", 24), kLeagueL02},
        {"L03:", kLeagueL03},
        {"L03:L02:", kLeagueL03},
        {"l02:", kLeagueOther},  // letter case differs
        {"L03;", kLeagueOther},
        {"L02 ", kLeagueOther},  // three characters and a blank
        {" L02:", kLeagueOther},
        {"L04:", kLeagueOther},  // another version
        {"L01:", kLeagueOther},
        {"", kLeagueOther},      // empty file
        {"L02", kLeagueOther},   // shorter than the tag
        {"L0", kLeagueOther},
        {std::string("\0\0\0\0", 4), kLeagueOther},
    };
    TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        const auto path = dir / ("league" + std::to_string(i) + ".lge");
        test::WriteFileBytes(path, Bytes(c.contents));

        ProgramState state;
        // Every call sets the code afresh, whatever the run before left.
        state.iLeagueVersion = c.code == kLeagueOther ? kLeagueL03 : kLeagueOther;
        ReadLeagueVersion(state, path);
        EXPECT_EQ(state.iLeagueVersion, c.code) << "contents \"" << c.contents << "\"";
        EXPECT_EQ(test::ReadFileBytes(path), Bytes(c.contents)) << "the league file changed";
    }
}

TEST(LeagueVersion, AMissingLeagueFileIsCreatedEmptyAndGivesNoFormat) {
    TempDir dir;
    const auto path = dir / "gone.lge";
    ProgramState state;
    state.iLeagueVersion = kLeagueL02;
    ReadLeagueVersion(state, path);
    EXPECT_EQ(state.iLeagueVersion, kLeagueOther);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(LeagueVersion, AReadOnlyLeagueFileIsReadNotRefused) {
    TempDir dir;
    const auto path = dir / "cd.lge";
    test::WriteFileBytes(path, Bytes("L02:league on a read-only medium"));
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    ProgramState state;
    ReadLeagueVersion(state, path);
    EXPECT_EQ(state.iLeagueVersion, kLeagueL02);
    EXPECT_EQ(test::ReadFileBytes(path), Bytes("L02:league on a read-only medium"));
}

TEST(LeagueVersion, CheckLeagueTagComparesAllFourCharactersExactly) {
    ProgramState state;
    CheckLeagueTag(state, "L03:");
    EXPECT_EQ(state.iLeagueVersion, kLeagueL03);
    CheckLeagueTag(state, "L02:");
    EXPECT_EQ(state.iLeagueVersion, kLeagueL02);
    for (const std::string_view tag : std::initializer_list<std::string_view>{"L02", "L03", "", "l03:", std::string_view("L02\0", 4)}) {
        state.iLeagueVersion = kLeagueL02;
        CheckLeagueTag(state, tag);
        EXPECT_EQ(state.iLeagueVersion, kLeagueOther) << "tag \"" << tag << "\"";
    }
}

}  // namespace
}  // namespace tavrin
