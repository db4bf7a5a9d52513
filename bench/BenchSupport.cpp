#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "league/RecordLayout.h"
#include "tools/LeagueGenerator.h"

// The benchmark's only platform-specific parts: flushing a file to the disk
// and reading the process's resident memory.
#if defined(_WIN32)
#include <io.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tavrin::bench {

namespace fs = std::filesystem;

// ------------------------------------------------------------ formatting

std::string Thousands(std::uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string Pad(std::string s, std::size_t width, bool left) {
    if (s.size() >= width) return s;
    const std::string fill(width - s.size(), ' ');
    return left ? s + fill : fill + s;
}

// Milliseconds with about three significant digits.
std::string Ms(double ms) { return Fixed(ms, ms < 10 ? 2 : ms < 100 ? 1 : 0); }

// ------------------------------------------------------------ platform


#if defined(__linux__)
std::optional<std::uint64_t> StatusKiB(std::string_view key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size(), key) != 0 || line.size() <= key.size() || line[key.size()] != ':')
            continue;
        std::istringstream in(line.substr(key.size() + 1));
        std::uint64_t kib = 0;
        if (in >> kib) return kib * 1024;
    }
    return std::nullopt;
}
bool g_peakResettable = false;
#endif

// Gives freed memory back to the system, so that what the benchmark itself
// allocated to make its leagues does not show as the core's memory.
void ReleaseFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void ResetPeak() {
    ReleaseFreedMemory();
#if defined(__linux__)
    // Writing 5 to clear_refs sets the peak resident size back to the current one.
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    g_peakResettable = static_cast<bool>(clear);
#endif
}

Memory ReadMemory() {
    Memory m;
#if defined(__linux__)
    m.current = StatusKiB("VmRSS");
    m.peak = StatusKiB("VmHWM");
    m.peakIsSinceReset = g_peakResettable;
#elif defined(_WIN32)
    // Not measured on Windows.
#else
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
#if defined(__APPLE__)
        m.peak = static_cast<std::uint64_t>(usage.ru_maxrss);  // bytes
#else
        m.peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // KiB
#endif
    }
#endif
    return m;
}

std::string MiB(std::optional<std::uint64_t> bytes) {
    return bytes ? Fixed(static_cast<double>(*bytes) / (1024.0 * 1024.0), 1) + " MiB" : std::string("n/a");
}

std::FILE* OpenFile(const fs::path& p, bool write) {
#if defined(_WIN32)
    return _wfopen(p.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(p.c_str(), write ? "wb" : "rb");
#endif
}

void SyncFile(std::FILE* f) {
    std::fflush(f);
#if defined(_WIN32)
    _commit(_fileno(f));
#else
    fsync(fileno(f));
#endif
}

// ------------------------------------------------------------ timing


double TimeMs(const std::function<void()>& work) {
    const auto t0 = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double Min(std::vector<double> v) { return *std::min_element(v.begin(), v.end()); }
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ------------------------------------------------------------ the league

constexpr std::uint64_t kSeed = 20240611;

// Writes a player file of `players` records. The generator makes at most
// 65,536 distinct players (one per identity); a larger league repeats them in
// the same order, so every identity's first row carries that player's values
// and Restore finds them all. Only the encoded records of the distinct players
// are held in memory, never the whole file.
void WritePlayerFile(const fs::path& path, std::size_t players) {
    gen::League league;
    league.kind = gen::Kind::L02;
    league.start = kStart;
    league.step = kStep;
    league.headerRest = {0x4C, 0x30, 0x32, 0x00, 0x12, 0x34};
    league.players = gen::MakePlayers(std::min(players, kIdentities), kSeed);
    const std::vector<std::uint8_t> bytes = gen::PlayerFileBytes(league);
    league.players = {};

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(kRecordLenL02));
    const std::uint8_t* records = bytes.data() + kRecordLenL02;
    const std::size_t distinct = (bytes.size() - kRecordLenL02) / kRecordLenL02;
    for (std::size_t written = 0; written < players;) {
        const std::size_t from = written % distinct;
        const std::size_t n = std::min({players - written, distinct - from, kChunkRecords});
        out.write(reinterpret_cast<const char*>(records + from * kRecordLenL02),
                  static_cast<std::streamsize>(n * kRecordLenL02));
        written += n;
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace tavrin::bench
