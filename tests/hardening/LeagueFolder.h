#pragma once

// A league of our generator in a folder of its own, and whole runs on it
// through the run core in this process.

#include <string>

#include "Fixture.h"
#include "run/Run.h"

namespace tavrin::test {

struct LeagueFolder {
    explicit LeagueFolder(const std::string& base = "Demo",
                          gen::League l = {gen::Kind::L02, 173, 37, {1, 2}, gen::MakePlayers(40, 11), {}})
        : league(std::move(l)) {
        lge = gen::WriteLeague(dir.path(), base, league);
        const std::u8string u8(base.begin(), base.end());
        pyr = dir.path() / fs::path(u8 + u8".pyr");
        pot = dir.path() / fs::path(u8 + u8".pot");
    }

    // Hide takes every player.
    run::Outcome Run(run::Operation op, const fs::path& restoreFrom = {}) {
        run::Request request;
        request.operation = op;
        request.yearsLimit = 50;
        request.league = lge;
        request.restoreFrom = restoreFrom;
        ProgramState state;
        state.workingFolder = work.path();
        ClockRandomSource random;
        return run::RunLeague(request, state, random);
    }
    std::map<std::string, Bytes> Files() const { return Snapshot(dir.path()); }

    gen::League league;
    TempDir dir, work;
    fs::path lge, pyr, pot;
};

}  // namespace tavrin::test
