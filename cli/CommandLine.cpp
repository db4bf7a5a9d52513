#include "cli/CommandLine.h"

// lib
#include "run/ChangeLine.h"
#include "cli/CommandLineHelp.h"
#include "cli/CommandLineOptions.h"
#include "cli/ConsoleOutput.h"
#include "cli/HistoryListing.h"
#include "cli/PlayersListing.h"
#include "cli/TerminalProgress.h"
#include "run/WorkingFolder.h"
#include "base/Error.h"
#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/Run.h"

// Qt
#include <QCoreApplication>

// Std
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tavrin::cli {

namespace {

// --- hide, randomize, restore, undo ---

int RunOperation(const Invocation& in, run::Operation operation) {
    ProgramState state;
    // The window's rule: both front ends share one working database.
    state.workingFolder = run::WorkingFolder();
    TerminalProgress bar(stderr);
    if (IsTerminal(stderr)) state.progress = &bar;

    run::Request request;
    request.operation = operation;
    request.yearsLimit = in.yearsLimit;
    request.league = in.league;
    request.restoreFrom = in.from;
    request.undoTo = in.undoTo;
    request.dryRun = in.dryRun;
    request.listChanges = in.verbose;

    ClockRandomSource clock;
    std::optional<SeededRandomSource> seeded;
    if (in.seed) seeded.emplace(*in.seed);
    RandomSource& random = seeded ? static_cast<RandomSource&>(*seeded) : clock;

    const run::Outcome outcome = run::RunLeague(request, state, random);
    using Kind = run::Outcome::Kind;
    switch (outcome.kind) {
        case Kind::Done:
            // An L03 league is loaded, as the window loads it, and nothing
            // more: what the command asked for was not done.
            if (outcome.loadedOnly) {
                Message(outcome.message);
                return kExitRefused;
            }
            Out(outcome.message);
            if (in.verbose) {
                if (!outcome.changes.empty()) Out(run::kChangesHeading);
                for (const run::PlayerChange& c : outcome.changes) Out(run::ChangeLine(c));
            }
            return kExitDone;
        case Kind::Refused:
        case Kind::NothingToDo:
            Message(outcome.message);
            return kExitRefused;
        case Kind::Failed:
            Message(outcome.step + " failed: " + outcome.message);
            return kExitFailed;
    }
    return kExitFailed;
}

// --- show ---

int Show(const Invocation& in) {
    try {
        const ReportFormat format = in.csv ? ReportFormat::Csv : ReportFormat::Table;
        WriteLeagueReport(in.league, format, stdout, in.csv ? stderr : stdout);
        return kExitDone;
    } catch (const Refusal& r) {
        Message(r.what());
        return kExitRefused;
    } catch (const std::exception& e) {
        Message(std::string("Reading the league failed: ") + e.what());
        return kExitFailed;
    }
}

// On Windows the program is built for its window and has no console of its
// own: a command attaches to the console it was started from, so that its
// results and messages reach it (where they are not redirected already).
void AttachToConsole() {
#if defined(_WIN32)
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FILE* reopened = nullptr;
    if (_fileno(stdout) < 0) freopen_s(&reopened, "CONOUT$", "w", stdout);
    if (_fileno(stderr) < 0) freopen_s(&reopened, "CONOUT$", "w", stderr);
#endif
}

}  // namespace

bool IsCommandLine(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string_view first = argv[1];
    // Anything else is the window's: a league, or Qt's own options
    // (-style fusion, -platform offscreen, -reverse), which QApplication reads.
    return CommandOf(first) || first == "--help" || first == "-h" || first == "--version" || first == "-v";
}

int RunCommandLine(int argc, char** argv) {
    AttachToConsole();
    QCoreApplication application(argc, argv);
    CommandLineOptions options;
    const bool parsed = options.Parser().parse(QCoreApplication::arguments());
    // Asked for, help and version come first, whatever else is there.
    if (options.Help()) {
        std::fputs(HelpText(options.Parser()).c_str(), stdout);
        return kExitDone;
    }
    if (options.Version()) {
        Out("tavrin " + ToStd(QCoreApplication::applicationVersion()));
        return kExitDone;
    }
    try {
        if (!parsed) throw UsageError{ParseErrorText(options.Parser(), QCoreApplication::arguments())};
        const Invocation in = options.Read();
        if (const std::optional<run::Operation> operation = FactsOf(in.command).operation)
            return RunOperation(in, *operation);
        return in.command == Command::History ? ListHistory(in.league, in.verbose) : Show(in);
    } catch (const UsageError& e) {
        Message(e.message + " (tavrin --help lists the commands and options)");
        return kExitUsage;
    }
}

}  // namespace tavrin::cli
