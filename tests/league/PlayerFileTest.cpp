// The league's files: the substitution that codes the player file, the
// format tag, player records becoming Players rows, and the save that writes
// them back.

#include <gtest/gtest.h>

#include <bitset>
#include <sstream>

#include "Fixture.h"
#include "base/Text.h"
#include "league/FormatTag.h"

namespace tavrin {
namespace {

using test::RunFolder;

constexpr auto kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

test::Value Num(int v) { return test::Value{std::int64_t{v}}; }

// The construction done the slow way, as a second opinion: values a, a+1, ...
// go to positions 0, b, 2b, ... (mod 256); a taken position sends the value
// forward to the next free entry, without moving the position itself.
std::array<std::int16_t, 256> ReferenceKeyTable(int a, int b) {
    std::array<std::int16_t, 256> key{};
    std::bitset<256> taken;
    for (int n = 0, p = 0; n < 256; ++n, p = (p + b) % 256) {
        int q = p;
        while (taken[static_cast<std::size_t>(q)]) q = (q + 1) % 256;
        taken[static_cast<std::size_t>(q)] = true;
        key[static_cast<std::size_t>(q)] = static_cast<std::int16_t>((a + n) % 256);
    }
    return key;
}

TEST(CodeTables, EveryStartAndStepGivesTheKeyAndTheInversePairOfItsCube) {
    // The file stores a substituted byte v as K(K(K(v))); decoding undoes it.
    CodeTables t;
    int failures = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            BuildTables(t, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
            const auto k = [&](int x) { return t.key[static_cast<std::size_t>(x)]; };
            bool ok = t.key == ReferenceKeyTable(a, b);
            for (std::size_t j = 0; ok && j < 256; ++j)
                ok = t.encode[j] == k(k(k(static_cast<int>(j)))) &&
                     t.decode[static_cast<std::size_t>(t.encode[j])] == static_cast<std::int16_t>(j);
            if (!ok && ++failures <= 5) ADD_FAILURE() << "start " << a << ", step " << b;
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(FormatTag, TheTagAloneDecidesTheFormat) {
    using namespace std::string_literals;
    using enum LeagueFormat;
    const std::vector<std::pair<std::string, LeagueFormat>> cases{
        {"L02:", L02},      {"L02:\0\xFF rest of the header"s, L02}, {"L03:", L03},     {"L03:L02:", L03},
        {"l02:", Unknown},  {"L03;", Unknown},                       {"L02 ", Unknown}, {" L02:", Unknown},
        {"L04:", Unknown},  {"L02", Unknown},                        {"", Unknown},     {"\0\0\0\0"s, Unknown}};
    test::TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [contents, code] = cases[i];
        const auto path = dir / ("lg" + std::to_string(i) + ".lge");
        const Bytes bytes(contents.begin(), contents.end());
        test::WriteFileBytes(path, bytes);
        fs::permissions(path, kWrite, fs::perm_options::remove);  // as on a CD: read all the same
        EXPECT_EQ(ReadFormatTag(path), code) << i;
        EXPECT_EQ(test::ReadFileBytes(path), bytes);
    }
}

TEST(RecordDecode, EachByteReachesItsOwnColumn) {
    // One record with a different value in every byte, so that a byte read
    // from the wrong offset, or a plain byte taken as substituted (or the
    // other way round), shows in its column.
    // The columns of the bytes from offset 28 on.
    std::istringstream from28("Pot_AC Pot_AG Pot_DI Pot_EN Pot_HA Pot_IN Pot_SP Pot_ST INJ_Sev_a INJ_Sev_b INJ_Type INJ_Week "
                              "PositionGen Position Act_AC Act_AG Act_DI Act_EN Act_HA Act_IN Act_SP Act_ST Years Height "
                              "Weight SkinColor OrgTeam OrgJerseyNum fBWPicture fColorPicture fPlayerCard fAudioPBP");
    const std::vector<std::string> at28{std::istream_iterator<std::string>(from28), {}};
    CodeTables tables;
    BuildTables(tables, 173, 37);
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        const std::size_t len = kind == gen::Kind::L02 ? 51 : 60;
        SCOPED_TRACE(len);
        Bytes value(len), file(len, 0);
        file[0] = 173;
        file[1] = 37;
        for (std::size_t o = 0; o < len; ++o) {
            // A plain 255 stays 255, and a NUL inside a name stays in it.
            value[o] = static_cast<unsigned char>(o == 36 ? 255 : o == 9 ? 0 : (o * 5 + 3) % 256);
            const bool plain = o <= 1 || (o >= 36 && o <= 39) || o >= 51;
            file.push_back(plain ? value[o] : static_cast<unsigned char>(tables.encode[value[o]]));
        }
        RunFolder r;
        test::WriteFileBytes(r.dir / "lg.pyr", file);
        r.Import(kind, r.dir / "lg.pyr");
        const auto rows = r.Working();
        ASSERT_EQ(rows.size(), 1u);

        const auto name = [&](std::size_t at) { return cp1252::BytesToUtf8({reinterpret_cast<char*>(&value[at]), 13}); };
        test::Row expected{{"Team", {}}, {"JNum", {}}, {"INJStatus", {}}, {"PID_a", Num(value[0])},
                           {"PID_b", Num(value[1])}, {"FirstName", name(2)}, {"LastName", name(15)}};
        for (std::size_t i = 0; i < at28.size(); ++i) expected[at28[i]] = 28 + i < len ? Num(value[28 + i]) : test::Value{};
        ASSERT_EQ(rows[0].size(), expected.size());
        for (const auto& [column, v] : expected) EXPECT_EQ(rows[0].at(column), v) << column;

        // Each way, a record's bytes and not one more: the byte after it keeps its value.
        Bytes coded(len + 1, 0xA5), plain(len + 1, 0x5A);
        EncodeRecord(std::span(value), std::span(coded).first(len), tables);
        DecodeRecord(std::span(coded).first(len), std::span(plain).first(len), tables);
        EXPECT_EQ(Bytes(coded.begin(), coded.end() - 1), Bytes(file.begin() + static_cast<long>(len), file.end()));
        EXPECT_EQ(Bytes(plain.begin(), plain.end() - 1), value);
        EXPECT_TRUE(coded.back() == 0xA5 && plain.back() == 0x5A);
    }
    // A name shorter than its place goes back padded with NULs.
    std::array<std::uint8_t, 13> place;
    place.fill(0xEE);
    EXPECT_EQ(cp1252::Utf8ToBytes("Zo\xC3\xAB", place), cp1252::ToBytes::Done);
    EXPECT_EQ(place, (std::array<std::uint8_t, 13>{'Z', 'o', 0xEB}));
    // Any code point to UTF-8, one beyond the first 65,536 too.
    std::string utf8;
    for (const char32_t c : {U'Z', U'\u00EB', U'\u20AC', U'\U0001F600'}) cp1252::AppendUtf8(utf8, c);
    EXPECT_EQ(utf8, "Z\xC3\xAB\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(FileNames, LettersCompareAsTheSystemsThatIgnoreCaseCompareThem) {
    // A player file beside its league is found whatever the case of its
    // name where the system ignores case: ASCII, Latin-1, Latin Extended-A,
    // Greek and Cyrillic letters fold; the dotted and dotless i of Turkish
    // have no partner, and names of other lengths never match.
    for (const auto& [a, b, same] : std::vector<std::tuple<std::u16string, std::u16string, bool>>{
             {u"Demo.PYR", u"demo.pyr", true},
             {u"ZO\u00CB", u"zo\u00EB", true},
             {u"\u0100\u0139\u0178", u"\u0101\u013A\u00FF", true},
             {u"\u0391\u0410\u0401", u"\u03B1\u0430\u0451", true},
             {u"\u0130", u"i", false},
             {u"\u0131", u"I", false},
             {u"\u00D7", u"\u00F7", false},
             {u"Demo", u"Demo.", false}})
        EXPECT_EQ(NamesEqualNoCase(a, b), same) << std::string(a.begin(), a.end());
}

TEST(Import, EveryWholeRecordBecomesARowAndAStepOfProgressWhileAShortFileChangesNothing) {
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        const std::size_t len = kind == gen::Kind::L02 ? 51 : 60;
        RunFolder r;
        const auto refused = [&] {
            for (const Bytes& bytes : {Bytes{}, Bytes{50, 3}, Bytes(len - 1, 7)}) {
                test::WriteFileBytes(r.dir / "short.pyr", bytes);
                EXPECT_THROW(r.Import(kind, r.dir / "short.pyr"), Refusal) << bytes.size() << " bytes";
                EXPECT_EQ(test::ReadFileBytes(r.dir / "short.pyr"), bytes);
                // The same bytes in memory, as the fuzz target gives them.
                const RecordKind k = kind == gen::Kind::L02 ? RecordKind::L02 : RecordKind::L03;
                EXPECT_THROW(ImportLeague(r.state, bytes, "short.pyr", k), Refusal) << bytes.size() << " bytes";
            }
            EXPECT_THROW(r.Import(kind, r.dir / "missing.pyr"), Refusal);
        };
        refused();  // no working database is made
        EXPECT_EQ(test::Snapshot(r.dir.path()).size(), 1u);
        for (const std::size_t count : {0, 7}) {
            for (const std::size_t trailing : {0, 1, 50}) {
                SCOPED_TRACE(std::to_string(count) + " records, " + std::to_string(trailing) + " bytes after them");
                auto league = test::MakeLeague(201, 14, count, 5, kind);
                league.trailing.assign(trailing, 0xEE);
                r.progress = {};
                r.Load(league);
                ASSERT_EQ(r.Working().size(), count);
                // n records: n steps of 100 / (n + 1), the header counting as one.
                EXPECT_EQ(r.progress.texts, std::vector<std::string>(count, "Loading League"));
                EXPECT_EQ(r.progress.steps, std::vector<double>(count, 100.0 / static_cast<double>(count + 1)));
                EXPECT_TRUE(r.progress.shows == 1 && r.progress.unloads == 1);
            }
        }
        const auto working = test::ReadFileBytes(r.state.WorkingDatabasePath());
        refused();  // the working database of an earlier run stays as it was
        EXPECT_EQ(test::ReadFileBytes(r.state.WorkingDatabasePath()), working);
        EXPECT_EQ(test::Snapshot(r.dir.path()).size(), 4u);
    }
}

TEST(Save, AfterAHideEachRowGoesBackToItsOwnSlotAndOnlyTheHiddenPotentialsChange) {
    for (const auto& [start, step] : {std::pair<std::uint8_t, std::uint8_t>{0, 1}, {173, 37}, {255, 128}, {7, 0}}) {
        SCOPED_TRACE("start " + std::to_string(start) + ", step " + std::to_string(step));
        auto league = test::MakeLeague(start, step, 60, start + step);
        // Records that are not written back (Position 15 or more) among the
        // others and last, and a partial record behind them.
        for (const std::size_t i : {11, 13, 59}) league.players[i].position = static_cast<std::uint8_t>(i == 13 ? 200 : 15);
        league.players[0].years = 2;  // either side of the limit
        league.players[1].years = 3;
        league.trailing.assign(37, 0xC5);
        // Names that hold every byte from 0 to 255 between them.
        for (std::size_t i = 0; i < 20; ++i) {
            std::string& name = i % 2 ? league.players[i / 2].lastName : league.players[i / 2].firstName;
            name.clear();
            for (std::size_t k = 0; k < 13; ++k) name.push_back(static_cast<char>((13 * i + k) % 256));
        }
        RunFolder r;
        r.Load(league, "Lig\xC3\xA4 \xE2\x82\xAC");  // "Ligä €"
        HidePots(r.state, 3);  // those below 3 years
        r.progress = {};
#if defined(_WIN32)
        r.Save();  // Windows has no permission bits to keep beside read-only, which is refused
#else
        // The new file keeps the old one's permissions.
        const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
        fs::permissions(r.pyr, perms);
        r.Save();
        EXPECT_EQ(fs::status(r.pyr).permissions(), perms);
#endif
        EXPECT_EQ(test::Snapshot(r.dir.path()).size(), 3u);
        for (gen::Player& p : league.players)
            if (p.position < 15 && p.years < 3) p.pot.fill(0);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(league));
        EXPECT_EQ(r.progress.texts, std::vector<std::string>(57, "Saving"));
        EXPECT_EQ(r.progress.steps, std::vector<double>(57, 100.0 / 57));
    }
}

TEST(Save, AFailureLeavesTheOldFileAsItWas) {
    // Each case spoils one thing after the import, late in the file where many
    // records have already been encoded: a character without a byte (of two
    // bytes of UTF-8, and of four), text that is not UTF-8 (bytes no
    // character starts with, the first just past ASCII; a character cut short), an empty number, one a
    // byte cannot hold, no player to write.
    const std::string noByte = "that the player file cannot hold", notText = "that is not valid text";
    for (const auto& [sql, says] : std::vector<std::pair<std::string, std::string>>{
             {"UPDATE Players SET LastName = 'Ma\xC4\x80ller' WHERE rowid = 35", noByte},
             {"UPDATE Players SET LastName = 'Ma\xF0\x9F\x98\x80' WHERE rowid = 35", noByte},
             {"UPDATE Players SET FirstName = CAST(X'4DFF41' AS TEXT) WHERE rowid = 35", notText},
             {"UPDATE Players SET FirstName = CAST(X'4D8041' AS TEXT) WHERE rowid = 35", notText},
             {"UPDATE Players SET FirstName = CAST(X'4DC3' AS TEXT) WHERE rowid = 35", notText},
             {"UPDATE Players SET Pot_ST = NULL WHERE rowid = 35", "record 35 has no number in Pot_ST"},
             {"UPDATE Players SET Pot_ST = 256 WHERE rowid = 35", "Pot_ST = 256, which does not fit in one byte"},
             {"UPDATE Players SET Position = 15", "no longer matches the player file it was loaded from"}}) {
        SCOPED_TRACE(sql);
        const auto league = test::MakeLeague(99, 10, 40, 6);
        RunFolder r;
        r.Load(league);
        HidePots(r.state, 50);
        test::SqlExec(r.state.WorkingDatabasePath(), sql);
        const auto perms = fs::status(r.pyr).permissions();
        try {
            r.Save();
            ADD_FAILURE() << "saved";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(league));
        EXPECT_EQ(fs::status(r.pyr).permissions(), perms);
        EXPECT_EQ(test::Snapshot(r.dir.path()).size(), 3u);
    }
}

}  // namespace
}  // namespace tavrin
