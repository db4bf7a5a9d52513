#pragma once

// A fingerprint of a file's bytes, taken as they stream past the read or the
// write a run makes anyway (or, for a file the history keeps, by a read of
// its own): it tells whether a file is, byte for byte, the one a run saved
// or kept. It guards against accidents (a game
// that saved the league, a copy from elsewhere), not against someone who
// means harm (who could write any file in the folder anyway), so it is
// XXH3's 128 bits, a fast non-cryptographic hash: on a player file of 51 MB
// it took a tenth of the time of a SHA-256 when it was chosen.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tavrin {

class Fingerprint {
public:
    // The algorithm's name, stored with every fingerprint.
    static constexpr std::string_view kAlgorithm = "XXH3-128";

    Fingerprint();
    ~Fingerprint();
    Fingerprint(Fingerprint&&) noexcept;
    Fingerprint& operator=(Fingerprint&&) noexcept;

    void Add(std::span<const std::uint8_t> bytes);
    // "XXH3-128:" and 32 hexadecimal digits, of the bytes added so far.
    std::string Text() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A file's size and the fingerprint of its bytes, read whole for it: what
// the history keeps of each file it keeps, to tell later that it is still
// that file.
struct FileFingerprint {
    std::uint64_t size = 0;
    std::string text;
    bool operator==(const FileFingerprint&) const = default;
};
FileFingerprint FingerprintOf(const platform::Folder& folder, const std::filesystem::path& name);

}  // namespace tavrin
