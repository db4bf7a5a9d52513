#pragma once

// The player file as every pass over it reads it: checked before it is
// opened (a missing file, anything but a regular file, one too short for its
// header or larger than any league is refused), then read a chunk of whole
// records at a time, its fingerprint taken of every byte on the way.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "league/RecordLayout.h"
#include "platform/Fingerprint.h"
#include "platform/Platform.h"

namespace tavrin {

// Records are read and written this many at a time: few system calls, and a
// buffer of a few hundred kilobytes whatever the size of the league.
inline constexpr std::size_t kChunkRecords = 4096;

// The most player records a file may hold. A player's identity is two bytes,
// so a league of the game has at most 65,536 players; sixteen times that
// leaves room for leagues whose identities repeat (our benchmark's
// 1,000,000 players), and refuses at once a file of gigabytes that would
// fill the working folder's disk before it was loaded.
inline constexpr std::uint64_t kMaxRecords = std::uint64_t{1} << 20;

// A record of this Position or more is out of the lineup: it has a row in
// the working database but the save leaves its bytes as they are.
inline constexpr std::uint8_t kOutOfLineupPosition = 15;

class RecordReader {
public:
    // A Refusal naming the file where it cannot be a player file.
    RecordReader(const std::filesystem::path& path, RecordKind kind);
    // A player file's bytes in memory (the fuzz targets'), named `path` in
    // messages, checked as a file's are.
    RecordReader(std::span<const std::uint8_t> bytes, const std::filesystem::path& path, RecordKind kind);

    const platform::FileInfo& Info() const { return info_; }
    // Records in the file, the header included (the remainder dropped).
    std::int32_t Count() const { return count_; }
    std::size_t Length() const { return length_; }
    std::string Fingerprint() const { return fingerprint_.Text(); }

    void ReadHeader(std::vector<std::uint8_t>& header);
    // The next chunk of whole records (none once every record is read).
    std::span<std::uint8_t> NextChunk();
    // The bytes after the last whole record.
    std::span<std::uint8_t> Trailing();

private:
    std::span<std::uint8_t> ReadExactly(std::span<std::uint8_t> into);
    void CheckSize() const;

    std::filesystem::path path_;
    std::span<const std::uint8_t> memory_;  // the bytes, where they are in memory
    std::size_t memoryAt_ = 0;
    std::size_t length_;
    platform::File file_;
    platform::FileInfo info_;
    std::int32_t count_ = 0;
    std::int64_t read_ = 0;
    std::vector<std::uint8_t> chunk_;
    tavrin::Fingerprint fingerprint_;
};

// The message of a player file that changed since the import read it.
[[noreturn]] void RefuseChangedSinceLoaded(const std::filesystem::path& pyr);

}  // namespace tavrin
