#pragma once

// What the benchmark needs besides the core: figures as it prints them, the
// clock, the process's resident memory, a file flushed to the disk, and the
// leagues it writes with our own generator.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::bench {

// 1,234,567
std::string Thousands(std::uint64_t n);
std::string Fixed(double v, int decimals);
std::string Pad(std::string s, std::size_t width, bool left = false);
// Milliseconds with about three significant digits.
std::string Ms(double ms);

// Resident memory in bytes: the current figure and the peak since the last
// ResetPeak. Where the peak cannot be reset, it is the process's peak so far.
struct Memory {
    std::optional<std::uint64_t> current, peak;
    bool peakIsSinceReset = false;
};
void ResetPeak();
Memory ReadMemory();
std::string MiB(std::optional<std::uint64_t> bytes);

std::FILE* OpenFile(const std::filesystem::path& p, bool write);
void SyncFile(std::FILE* f);

using Clock = std::chrono::steady_clock;
double TimeMs(const std::function<void()>& work);
double Median(std::vector<double> v);
double Min(std::vector<double> v);

// The benchmark's leagues: the substitution's start value and step (neither
// trivial, so most bytes really change), and how many distinct players the
// generator makes.
inline constexpr std::uint8_t kStart = 0x5B;
inline constexpr std::uint8_t kStep = 0x2D;
inline constexpr std::size_t kIdentities = 65536;
// Records are read and written this many at a time.
inline constexpr std::size_t kChunkRecords = 4096;

// Writes a player file of `players` records. The generator makes at most
// 65,536 distinct players (one per identity); a larger league repeats them in
// the same order, so every identity's first row carries that player's values
// and Restore finds them all. Only the encoded records of the distinct players
// are held in memory, never the whole file.
void WritePlayerFile(const std::filesystem::path& path, std::size_t players);

}  // namespace tavrin::bench
