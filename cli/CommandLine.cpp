#include "cli/CommandLine.h"

// lib
#include "base/Error.h"
#include "base/Text.h"
#include "base/Version.h"
#include "cli/Arguments.h"
#include "cli/CommandLineHelp.h"
#include "cli/ConsoleOutput.h"
#include "cli/HistoryListing.h"
#include "cli/PlayersListing.h"
#include "cli/TerminalProgress.h"
#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/ChangeLine.h"
#include "run/Run.h"
#include "run/WorkingFolder.h"

// Std
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
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

// On Windows the program with the window is built for it and has no console
// of its own: a command attaches to the console it was started from, so that
// its results and messages reach it (where they are not redirected already).
// Lines end in \n there too, as a script on any system reads them, rather
// than in the \r\n of the C library's text mode.
void PrepareConsole() {
#if defined(_WIN32)
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        FILE* reopened = nullptr;
        if (_fileno(stdout) < 0) freopen_s(&reopened, "CONOUT$", "w", stdout);
        if (_fileno(stderr) < 0) freopen_s(&reopened, "CONOUT$", "w", stderr);
    }
    for (FILE* stream : {stdout, stderr})
        if (_fileno(stream) >= 0) _setmode(_fileno(stream), _O_BINARY);
#endif
}

#if !defined(_WIN32) && !defined(__APPLE__)
bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}
#endif

}  // namespace

std::vector<std::string> ArgumentsOf(int argc, char** argv) {
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) arguments.push_back(Utf8Of(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
#endif
}

std::optional<std::string> WhyTheWindowCannotOpen(const std::vector<std::string>& arguments) {
#if defined(_WIN32) || defined(__APPLE__)
    (void)arguments;
    return std::nullopt;  // their windows need no display server named
#else
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return std::nullopt;
    for (const std::string& a : arguments)
        if (a == "-platform" || a == "--platform" || a.starts_with("-platform=") || a.starts_with("--platform="))
            return std::nullopt;
    return "There is no display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set. Give a command "
           "to run without a window (tavrin --help lists them), or a Qt platform with -platform.";
#endif
}

int RunCommandLine(const std::vector<std::string>& arguments, bool withWindow) {
    PrepareConsole();
    Invocation in;
    try {
        in = ReadArguments(arguments, withWindow);
    } catch (const UsageError& e) {
        const std::string command = e.command ? std::string(FactsOf(*e.command).word) + " " : "";
        Message(e.message + " See tavrin " + command + "--help.");
        return kExitUsage;
    }
    switch (in.asks) {
        case Invocation::Asks::Help: {
            const std::string text = in.command ? CommandHelpText(*in.command) : HelpText();
            std::fwrite(text.data(), 1, text.size(), stdout);
            return kExitDone;
        }
        case Invocation::Asks::Version: Out("tavrin " + std::string(kVersion)); return kExitDone;
        case Invocation::Asks::Run: break;
    }
    if (const std::optional<run::Operation> operation = FactsOf(*in.command).operation)
        return RunOperation(in, *operation);
    return in.command == Command::History ? ListHistory(in.league, in.verbose) : Show(in);
}

}  // namespace tavrin::cli
