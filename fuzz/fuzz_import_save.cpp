// A player file of any bytes through the import and the save, as a run does
// them, with nothing changed in between: the league must save byte for byte
// as it was read, whatever its header, names, positions or trailing bytes
// (the save writes back only the players with Position below 15, into their
// own slots, so the rest keep their bytes anyway). The same bytes taken as a
// league of 60-byte records are imported too, and read by the in-memory
// reader of the reports.
//
// A refusal (a file too short, no player to save) is a fine outcome. An
// error, a crash or a sanitizer report is a fault.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/Error.h"
#include "league/PlayerFile.h"
#include "tools/SaveInPlace.h"
#include "league/ProgramState.h"

namespace {

namespace fs = std::filesystem;

void Require(bool ok) {
    if (!ok) std::abort();
}

// A folder of this process's own, with the working database and the player
// file in it; removed when the fuzzer exits.
struct Folder {
    Folder() {
        std::random_device rd;
        do path = fs::temp_directory_path() / ("tavrin-fuzz-" + std::to_string(rd()));
        while (!fs::create_directory(path));
        state.workingFolder = path;
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
    tavrin::ProgramState state;
};

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Folder folder;
    const fs::path pyr = folder.path / "lg.pyr";
    {
        std::ofstream out(pyr, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Require(static_cast<bool>(out));
    }
    const std::vector<std::uint8_t> input(data, data + size);
    const auto records = [&](std::size_t length) { return size < length ? 0 : static_cast<std::int64_t>(size / length) - 1; };

    try {
        const tavrin::ImportedLeague l03 = tavrin::ImportLeague(folder.state, pyr, tavrin::RecordKind::L03);
        Require(l03.players == records(tavrin::kRecordLenL03));
    } catch (const tavrin::Refusal&) {
        Require(size < tavrin::kRecordLenL03);
    }

    std::int64_t read = 0;
    try {
        tavrin::ReadPlayerFile(pyr, tavrin::RecordKind::L02, [&](std::int64_t slot, std::span<const std::uint8_t>) {
            Require(slot == ++read);
        });
    } catch (const tavrin::Refusal&) {
        Require(size < tavrin::kRecordLenL02);
    }
    Require(read == records(tavrin::kRecordLenL02));

    try {
        const tavrin::ImportedLeague league = tavrin::ImportLeague(folder.state, pyr, tavrin::RecordKind::L02);
        Require(league.players == read);
        const tavrin::SaveResult saved = tavrin::SaveLeagueInPlace(folder.state, league);
        Require(saved.changed == 0 && saved.written == league.saveable);
        Require(ReadAll(pyr) == input);
    } catch (const tavrin::Refusal&) {
        Require(ReadAll(pyr) == input);  // a refusal changes nothing
    }
    return 0;
}
