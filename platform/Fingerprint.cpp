#include "platform/Fingerprint.h"

#include "base/Text.h"

#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace tavrin {

struct Fingerprint::State {
    XXH3_state_t xxh;
};

Fingerprint::Fingerprint() : state_(std::make_unique<State>()) { XXH3_128bits_reset(&state_->xxh); }
Fingerprint::~Fingerprint() = default;
Fingerprint::Fingerprint(Fingerprint&&) noexcept = default;
Fingerprint& Fingerprint::operator=(Fingerprint&&) noexcept = default;

void Fingerprint::Add(std::span<const std::uint8_t> bytes) {
    XXH3_128bits_update(&state_->xxh, bytes.data(), bytes.size());
}

std::string Fingerprint::Text() const {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(&state_->xxh));
    return std::string(kAlgorithm) + ":" + HexOf({canonical.digest, sizeof canonical.digest});
}

FileFingerprint FingerprintOf(const platform::Folder& folder, const std::filesystem::path& name) {
    platform::File file = folder.OpenToRead(name);
    Fingerprint fingerprint;
    std::vector<std::uint8_t> chunk(std::size_t{1} << 20);
    FileFingerprint out;
    for (std::size_t n; (n = file.Read(chunk)) > 0; out.size += n) fingerprint.Add(std::span(chunk).first(n));
    out.text = fingerprint.Text();
    return out;
}

}  // namespace tavrin
