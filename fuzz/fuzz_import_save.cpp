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

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "base/Error.h"
#include "db/Sqlite.h"
#include "league/LeagueSave.h"
#include "league/PlayerFile.h"
#include "league/ProgramState.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

// The database engine's memory set aside once, as a long-running program
// would: every input opens several connections, and a connection's own
// allocations (its page cache of 32 KiB pages, its lookaside) would
// otherwise be most of what an input costs under the sanitizers.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static std::vector<std::uint8_t> pages(64 * (32768 + 512));
    sqlite3_config(SQLITE_CONFIG_PAGECACHE, pages.data(), 32768 + 512, 64);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
    return 0;
}

// Everything in memory: the player file is the input's bytes, the working
// database a file of bytes the engine reads and writes through our own file
// layer, and the save a dry run whose fingerprint covers every byte it would
// write. No input waits for a disk.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const auto records = [&](std::size_t length) { return size < length ? 0 : static_cast<std::int64_t>(size / length) - 1; };
    const std::filesystem::path pyr = "lg.pyr";

    tavrin::db::MemoryFile working("Temp.mdb");
    tavrin::ProgramState state;
    state.workingDatabaseFile = &working;

    try {
        const tavrin::ImportedLeague l03 = tavrin::ImportLeague(state, input, pyr, tavrin::RecordKind::L03);
        Require(l03.players == records(tavrin::kRecordLenL03));
    } catch (const tavrin::Refusal&) {
        Require(size < tavrin::kRecordLenL03);
    }

    std::int64_t read = 0;
    try {
        tavrin::ReadPlayerFile(input, pyr, tavrin::RecordKind::L02, [&](std::int64_t slot, std::span<const std::uint8_t>) {
            Require(slot == ++read);
        });
    } catch (const tavrin::Refusal&) {
        Require(size < tavrin::kRecordLenL02);
    }
    Require(read == records(tavrin::kRecordLenL02));

    try {
        const tavrin::ImportedLeague league = tavrin::ImportLeague(state, input, pyr, tavrin::RecordKind::L02);
        Require(league.players == read);
        const tavrin::SaveResult saved = tavrin::SaveLeague(state, league, nullptr);
        Require(saved.changed == 0 && saved.written == league.saveable);
        Require(saved.fingerprint == league.fingerprint);
    } catch (const tavrin::Refusal&) {
        // a league with no player to write back: nothing to compare
    }
    return 0;
}
