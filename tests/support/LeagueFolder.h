#pragma once

// A league of our generator in a folder of its own, and whole runs on it
// through the run core in this process, as the window and the command line
// make them.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Fixture.h"
#include "platform/Platform.h"
#include "run/History.h"
#include "run/Run.h"

namespace tavrin::test {

struct LeagueFolder {
    explicit LeagueFolder(const std::string& base = "Demo",
                          gen::League l = {gen::Kind::L02, 173, 37, {1, 2}, gen::MakePlayers(40, 11), {}})
        : league(std::move(l)) {
        state.workingFolder = work.path();
        state.progress = &progress;
        lge = gen::WriteLeague(dir.path(), base, league);
        const std::u8string u8(base.begin(), base.end());
        pyr = dir.path() / fs::path(u8 + u8".pyr");
        pot = dir.path() / fs::path(u8 + u8".pot");
    }

    // A run on this league (the request's league is set here); draws from a
    // seed of its own each time. No new file is left beside the league's
    // files (its history may hold a user's), and a run that got through lets
    // go of its locks.
    run::Outcome Run(run::Request request) {
        request.league = lge;
        SeededRandomSource random(seed++);
        run::Outcome o = run::RunLeague(request, state, random);
        for (const auto& [name, bytes] : Files()) {
            const bool beside = name.find('/') == std::string::npos;
            EXPECT_FALSE(beside && (name.ends_with(".tavrin-new") ||
                                    (o.kind == run::Outcome::Kind::Done && name.ends_with(".lock"))))
                << name;
        }
        return o;
    }
    // Hide takes every player unless told.
    run::Outcome Run(run::Operation op, std::optional<std::int16_t> years = 50, const fs::path& restoreFrom = {}) {
        run::Request request;
        request.operation = op;
        request.yearsLimit = years;
        request.restoreFrom = restoreFrom;
        return Run(request);
    }
    run::Outcome Expect(run::Outcome::Kind kind, run::Operation op, std::optional<std::int16_t> years = 50) {
        run::Outcome o = Run(op, years);
        EXPECT_EQ(o.kind, kind) << o.step << ": " << o.message;
        return o;
    }
    std::map<std::string, Bytes> Files() const { return Snapshot(dir.path()); }

    void GameSets(std::int64_t slot, Col column, std::uint8_t value) { test::GameSets(pyr, slot, column, value); }

    gen::League league;
    TempDir dir, work;
    RecordingProgress progress;
    ProgramState state;
    std::uint64_t seed = 1;
    fs::path lge, pyr, pot;
};

}  // namespace tavrin::test

namespace tavrin {
using run::Operation;
using Kind = run::Outcome::Kind;
}  // namespace tavrin
