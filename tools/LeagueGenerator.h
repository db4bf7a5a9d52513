#pragma once

// Our own league generator: writes league files and player files with our own
// encoder, for the demo league, the tests and the benchmark.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/SplitMix64.h"

namespace tavrin::gen {

// One player's plain values. Ratings are in Tavrin's attribute order
// SP, AC, AG, ST, HA, EN, IN, DI.
struct Player {
    std::uint8_t pidA = 0, pidB = 0;
    std::string firstName, lastName;  // code page 1252 bytes, at most 13 (NULs padded)
    std::uint8_t years = 0, position = 0, positionGen = 0;
    std::uint8_t injSevA = 0, injSevB = 0, injType = 0, injWeek = 0;
    std::array<std::uint8_t, 8> pot{}, act{};
    std::array<std::uint8_t, 9> l03Extra{};  // Height .. fAudioPBP, L03 only
};

enum class Kind { L02, L03 };

struct League {
    Kind kind = Kind::L02;
    std::uint8_t start = 0, step = 0;          // header bytes 0 and 1
    std::vector<std::uint8_t> headerRest;      // header bytes 2.., zero-filled if short
    std::vector<Player> players;
    std::vector<std::uint8_t> trailing;        // bytes after the last whole record
};

// The plain bytes of one player record (60 bytes; L02 uses the first 51).
std::array<std::uint8_t, 60> PlainRecord(const Player& player);

// The whole player file's bytes, encoded with the league's own tables.
std::vector<std::uint8_t> PlayerFileBytes(const League& league);

// Writes <dir>/<base>.lge (tag "L02:" or "L03:" and a few more header bytes)
// and <dir>/<base>.pyr. Returns the .lge path.
std::filesystem::path WriteLeague(const std::filesystem::path& dir, const std::string& base,
                                  const League& league);

// Plausible players, one after another: names from small lists, positions 0
// to 14 (with a few of 15 or more only when `withBench` is set), years 0 to
// 15, ratings 20 to 99 with potentials at or above them. The identities of
// the first 65,536 are unique (a player's identity is two bytes); after them
// they repeat in the same order, with other names and ratings, as in the
// benchmark's leagues of a million. Same seed, same players.
class PlayerMaker {
public:
    explicit PlayerMaker(std::uint64_t seed, bool withBench = false);
    Player Next();

private:
    SplitMix64 source_;
    std::uint16_t offset_ = 0;
    std::uint32_t index_ = 0;
    bool withBench_ = false;
};

// The first `count` players of a PlayerMaker.
std::vector<Player> MakePlayers(std::size_t count, std::uint64_t seed, bool withBench = false);

// Writes the league as WriteLeague above does, with the next `count` players
// of the maker after its own, made and written a block at a time: a million
// players take no more memory than a block.
std::filesystem::path WriteLeague(const std::filesystem::path& dir, const std::string& base, const League& league,
                                  PlayerMaker& maker, std::size_t count);

}  // namespace tavrin::gen
