#include "league/RecordReader.h"

#include <algorithm>

#include "base/Error.h"

namespace tavrin {

namespace fs = std::filesystem;

RecordReader::RecordReader(const fs::path& path, RecordKind kind) : path_(path), length_(RecordLength(kind)) {
    // A missing file, anything but a regular file (a folder, a pipe that
    // would never end, a link), or one too short for its header, is
    // refused before it is opened.
    const platform::Folder folder = platform::Folder::Open(path.parent_path());
    const fs::path name = path.filename();
    info_ = folder.Info(name);
    if (!info_.Exists())
        throw Refusal("Cannot load the league: its player file " + PathText(path) + " does not exist.");
    if (info_.kind != platform::Kind::Regular)
        throw Refusal("Cannot load the league: " + PathText(path) + " is not a player file (not a regular file).");
    CheckSize();
    file_ = folder.OpenToRead(name);
    // What was checked is what was opened.
    if (!file_.Info().Unchanged(info_)) RefuseChangedSinceLoaded(path);
    count_ = static_cast<std::int32_t>(info_.size / length_);
    // A chunk, or the whole file where that is less.
    chunk_.resize(std::min<std::size_t>(kChunkRecords, static_cast<std::size_t>(count_) + 1) * length_);
}

RecordReader::RecordReader(std::span<const std::uint8_t> bytes, const fs::path& path, RecordKind kind)
    : path_(path), memory_(bytes), length_(RecordLength(kind)) {
    info_.kind = platform::Kind::Regular;
    info_.size = bytes.size();
    CheckSize();
    count_ = static_cast<std::int32_t>(info_.size / length_);
    chunk_.resize(std::min<std::size_t>(kChunkRecords, static_cast<std::size_t>(count_) + 1) * length_);
}

void RecordReader::CheckSize() const {
    if (info_.size < length_)
        throw Refusal("Cannot load the league: its player file " + PathText(path_) + " holds " +
                      std::to_string(info_.size) + " bytes, too few for its " + std::to_string(length_) +
                      "-byte header record.");
    if (info_.size > (kMaxRecords + 1) * length_)
        throw Refusal("Cannot load the league: its player file " + PathText(path_) + " holds " +
                      std::to_string(info_.size) + " bytes, more than any league: Tavrin reads at most " +
                      std::to_string(kMaxRecords) + " player records (" + std::to_string((kMaxRecords + 1) * length_) +
                      " bytes of " + std::to_string(length_) + "-byte records).");
}

void RecordReader::ReadHeader(std::vector<std::uint8_t>& header) {
    header.resize(length_);
    ReadExactly(header);
}

std::span<std::uint8_t> RecordReader::NextChunk() {
    const std::int64_t n = std::min<std::int64_t>(count_ - 1 - read_, kChunkRecords);
    if (n <= 0) return {};
    read_ += n;
    return ReadExactly(std::span(chunk_).first(static_cast<std::size_t>(n) * length_));
}

std::span<std::uint8_t> RecordReader::Trailing() {
    return ReadExactly(std::span(chunk_).first(info_.size - static_cast<std::size_t>(count_) * length_));
}

std::span<std::uint8_t> RecordReader::ReadExactly(std::span<std::uint8_t> into) {
    std::size_t got = 0;
    if (memory_.data()) {
        got = std::min(into.size(), memory_.size() - memoryAt_);
        std::copy_n(memory_.begin() + static_cast<std::ptrdiff_t>(memoryAt_), got, into.begin());
        memoryAt_ += got;
    } else {
        got = file_.Read(into);
    }
    if (got != into.size())
        throw Error("Cannot read " + PathText(path_) + ": the file ended early; it changed while Tavrin read it");
    fingerprint_.Add(into);
    return into;
}

void RefuseChangedSinceLoaded(const fs::path& pyr) {
    throw Refusal("Cannot save the league to " + PathText(pyr) +
                  ": the file changed since Tavrin loaded it (did the game save it meanwhile?). "
                  "It keeps the game's contents; run Tavrin on it again.");
}

}  // namespace tavrin
