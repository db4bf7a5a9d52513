#include "tools/LeagueGenerator.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "base/SplitMix64.h"
#include "league/Substitution.h"
#include "league/RecordLayout.h"

namespace tavrin::gen {

namespace {

// The value of one single-byte column of the player.
std::uint8_t ByteValue(const Player& p, Col column) {
    switch (column) {
        case Col::PID_a: return p.pidA;
        case Col::PID_b: return p.pidB;
        case Col::Years: return p.years;
        case Col::Position: return p.position;
        case Col::PositionGen: return p.positionGen;
        case Col::INJ_Sev_a: return p.injSevA;
        case Col::INJ_Sev_b: return p.injSevB;
        case Col::INJ_Type: return p.injType;
        case Col::INJ_Week: return p.injWeek;
        default: break;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        if (column == kPotColumns[i]) return p.pot[i];
        if (column == kActColumns[i]) return p.act[i];
    }
    throw std::logic_error("league generator: no value for column " + std::string(Name(column)));
}

void PutName(std::array<std::uint8_t, 60>& rec, std::size_t offset, const std::string& name) {
    // Left-aligned, NUL-padded to 13 bytes; a longer text keeps its first 13.
    for (std::size_t i = 0; i < kNameLen; ++i)
        rec[offset + i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
}

std::size_t RecordLength(Kind kind) { return tavrin::RecordLength(kind == Kind::L02 ? RecordKind::L02 : RecordKind::L03); }

// splitmix64: small, fast and good enough to make believable test leagues.
// The draws of one player from the maker's source, which goes on from there.
class Draws {
public:
    explicit Draws(SplitMix64& source) : source_(source) {}
    std::uint64_t Next() { return source_.Next(); }
    // A whole number from lo to hi, both included.
    int Between(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool Chance(int percent) { return Between(0, 99) < percent; }

private:
    SplitMix64& source_;
};

// Code page 1252 bytes; a few names carry accented letters so the name
// conversion meets more than plain ASCII.
constexpr std::array<std::string_view, 40> kFirstNames{
    "James", "Michael", "Robert", "John", "David", "William", "Richard", "Joseph",
    "Thomas", "Charles", "Chris", "Daniel", "Matthew", "Anthony", "Mark", "Donald",
    "Steven", "Andrew", "Paul", "Joshua", "Kenneth", "Kevin", "Brian", "George",
    "Timothy", "Ronald", "Jason", "Edward", "Jeffrey", "Ryan", "Jacob", "Gary",
    "Nicholas", "Eric", "Jonathan", "Stephen", "Larry", "Justin", "Jos\xE9", "Ren\xE9"};
constexpr std::array<std::string_view, 40> kLastNames{
    "Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller", "Davis",
    "Rodriguez", "Martinez", "Hernandez", "Lopez", "Gonzalez", "Wilson", "Anderson",
    "Thomas", "Taylor", "Moore", "Jackson", "Martin", "Lee", "Perez", "Thompson",
    "White", "Harris", "Sanchez", "Clark", "Ramirez", "Lewis", "Robinson", "Walker",
    "Young", "Allen", "King", "Wright", "Scott", "Torres", "Nguyen", "M\xFCller",
    "Christopherson"};  // 14 letters: written as its first 13

// Position codes 0 to 14 and the general position each belongs to.
constexpr std::array<std::uint8_t, 15> kPositionGen{0, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 6};

}  // namespace

std::array<std::uint8_t, 60> PlainRecord(const Player& player) {
    std::array<std::uint8_t, 60> rec{};
    for (const FieldLayout& f : kPlayerFieldsL02) {
        if (f.stored == Stored::Name)
            PutName(rec, f.offset, f.column == Col::FirstName ? player.firstName : player.lastName);
        else
            rec[f.offset] = ByteValue(player, f.column);
    }
    for (std::size_t i = 0; i < kPlayerFieldsL03Extra.size(); ++i)
        rec[kPlayerFieldsL03Extra[i].offset] = player.l03Extra[i];
    return rec;
}

namespace {

// The header record: start value and step plain, the rest as given,
// zero-filled.
std::vector<std::uint8_t> HeaderRecord(const League& league) {
    const std::size_t len = RecordLength(league.kind);
    std::vector<std::uint8_t> header(len, 0);
    header[kHeaderStartOffset] = league.start;
    header[kHeaderStepOffset] = league.step;
    std::copy_n(league.headerRest.begin(), std::min(league.headerRest.size(), len - 2), header.begin() + 2);
    return header;
}

// The players' records, encoded with the league's tables, after `out`.
void AppendRecords(const League& league, const CodeTables& tables, std::vector<std::uint8_t>& out) {
    const std::size_t len = RecordLength(league.kind);
    std::array<std::uint8_t, 60> stored{};
    for (const Player& p : league.players) {
        const auto plain = PlainRecord(p);
        EncodeRecord(std::span(plain.data(), len), std::span(stored.data(), len), tables);
        out.insert(out.end(), stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(len));
    }
}

}  // namespace

std::vector<std::uint8_t> PlayerFileBytes(const League& league) {
    CodeTables tables;
    BuildTables(tables, league.start, league.step);
    std::vector<std::uint8_t> out = HeaderRecord(league);
    out.reserve(out.size() * (league.players.size() + 1) + league.trailing.size());
    AppendRecords(league, tables, out);
    out.insert(out.end(), league.trailing.begin(), league.trailing.end());
    return out;
}

namespace {

void Check(const std::ofstream& out, const std::filesystem::path& path) {
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Check(out, path);
}

// <dir>/<base><extension>: the base name is UTF-8 text, whatever the
// platform's narrow encoding.
std::filesystem::path Named(const std::filesystem::path& dir, const std::string& base, std::string_view extension) {
    std::u8string name(base.begin(), base.end());
    name.append(extension.begin(), extension.end());
    return dir / std::filesystem::path(name);
}

// The league file: the format tag, then the league's name in a fixed field
// and a few zero bytes standing in for the settings the game keeps there.
// Tavrin reads only the tag.
std::filesystem::path WriteLeagueFile(const std::filesystem::path& dir, const std::string& base, Kind kind) {
    std::vector<std::uint8_t> lge(4 + 32 + 28, 0);
    const std::string_view tag = kind == Kind::L02 ? "L02:" : "L03:";
    std::copy(tag.begin(), tag.end(), lge.begin());
    std::copy_n(base.begin(), std::min<std::size_t>(base.size(), 32), lge.begin() + 4);
    const auto path = Named(dir, base, ".lge");
    WriteBytes(path, lge);
    return path;
}

}  // namespace

std::filesystem::path WriteLeague(const std::filesystem::path& dir, const std::string& base,
                                  const League& league) {
    const auto lge = WriteLeagueFile(dir, base, league.kind);
    WriteBytes(Named(dir, base, ".pyr"), PlayerFileBytes(league));
    return lge;
}

std::filesystem::path WriteLeague(const std::filesystem::path& dir, const std::string& base, const League& league,
                                  PlayerMaker& maker, std::size_t count) {
    const auto lge = WriteLeagueFile(dir, base, league.kind);
    const auto path = Named(dir, base, ".pyr");
    CodeTables tables;
    BuildTables(tables, league.start, league.step);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<std::uint8_t> bytes = HeaderRecord(league);
    AppendRecords(league, tables, bytes);
    League block{league.kind, league.start, league.step, {}, {}, {}};
    constexpr std::size_t kBlock = 65536;
    for (std::size_t made = 0;;) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.clear();
        if (made == count) break;
        block.players.clear();
        for (; made < count && block.players.size() < kBlock; ++made) block.players.push_back(maker.Next());
        AppendRecords(block, tables, bytes);
    }
    out.write(reinterpret_cast<const char*>(league.trailing.data()),
              static_cast<std::streamsize>(league.trailing.size()));
    out.close();
    Check(out, path);
    return lge;
}

PlayerMaker::PlayerMaker(std::uint64_t seed, bool withBench)
    : source_(seed), offset_(static_cast<std::uint16_t>(source_.Next())), withBench_(withBench) {}

Player PlayerMaker::Next() {
    // Identities: index i maps to (i * odd + offset) mod 65536, a bijection on
    // 16-bit values, so the pairs of 65,536 players are unique yet not simply
    // 0, 1, 2, ...; the next 65,536 repeat them in the same order.
    constexpr std::uint32_t kOdd = 40503;
    Draws rng(source_);
    Player p;
    const auto id = static_cast<std::uint16_t>(index_++ * kOdd + offset_);
    p.pidA = static_cast<std::uint8_t>(id >> 8);
    p.pidB = static_cast<std::uint8_t>(id & 0xFF);
    p.firstName = std::string(kFirstNames[rng.Next() % kFirstNames.size()]);
    p.lastName = std::string(kLastNames[rng.Next() % kLastNames.size()]).substr(0, kNameLen);

    // Most players are young: the smaller of two draws leans towards 0.
    p.years = static_cast<std::uint8_t>(std::min(rng.Between(0, 15), rng.Between(0, 15)));
    p.position = static_cast<std::uint8_t>(rng.Between(0, 14));
    p.positionGen = kPositionGen[p.position];
    if (withBench_ && rng.Chance(8)) p.position = static_cast<std::uint8_t>(rng.Between(15, 20));

    if (rng.Chance(10)) {  // an injured player
        p.injSevA = static_cast<std::uint8_t>(rng.Between(1, 9));
        p.injSevB = static_cast<std::uint8_t>(rng.Between(0, 255));
        p.injType = static_cast<std::uint8_t>(rng.Between(1, 30));
        p.injWeek = static_cast<std::uint8_t>(rng.Between(1, 17));
    }

    // Young players have the most room between current rating and potential.
    const int room = std::max(0, 30 - 2 * p.years);
    for (std::size_t a = 0; a < 8; ++a) {
        const int act = rng.Between(20, 99);
        const int pot = std::min(99, act + rng.Between(0, room));
        p.act[a] = static_cast<std::uint8_t>(act);
        p.pot[a] = static_cast<std::uint8_t>(pot);
    }

    p.l03Extra = {
        static_cast<std::uint8_t>(rng.Between(68, 80)),    // height, inches
        static_cast<std::uint8_t>(rng.Between(170, 255)),  // weight, pounds (capped at a byte)
        static_cast<std::uint8_t>(rng.Between(0, 4)),      // skin colour
        static_cast<std::uint8_t>(rng.Between(0, 31)),     // team
        static_cast<std::uint8_t>(rng.Between(1, 99)),     // jersey number
        static_cast<std::uint8_t>(rng.Between(0, 1)),      // flags
        static_cast<std::uint8_t>(rng.Between(0, 1)),
        static_cast<std::uint8_t>(rng.Between(0, 1)),
        static_cast<std::uint8_t>(rng.Between(0, 1)),
    };
    return p;
}

std::vector<Player> MakePlayers(std::size_t count, std::uint64_t seed, bool withBench) {
    PlayerMaker maker(seed, withBench);
    std::vector<Player> players;
    players.reserve(count);
    for (std::size_t i = 0; i < count; ++i) players.push_back(maker.Next());
    return players;
}

}  // namespace tavrin::gen
