// tavrin-run-driver: one run of the run core in a process of its own, for the
// tests that kill a run part-way or make its system calls fail.
//
//   tavrin-run-driver hide|randomize|restore|undo <league.lge> <working folder>
//
// It prints the moments the progress window shows, changes its text and
// unloads, in milliseconds since it started ("@412 Saving"), then the
// outcome ("outcome Failed", "step Saving the league", "message Cannot write
// ..."). Hide takes every player.

#include <chrono>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include "pots/RandomSource.h"
#include "run/Run.h"

namespace {

void Mark(std::string_view what) {
    static const auto start = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::cout << "@" << ms.count() << " " << what << std::endl;
}

struct MarkingProgress final : tavrin::Progress {
    std::string text;
    void Show() override { Mark("show"); }
    void UpdateBar(std::string_view now, double) override {
        if (now != text) Mark(text = now);
    }
    void Unload() override {
        Mark("unload");
        text.clear();
    }
};

}  // namespace

int main(int argc, char** argv) {
    Mark("start");
    using tavrin::run::Operation;
    const std::map<std::string_view, Operation> operations{
        {"hide", Operation::Hide}, {"randomize", Operation::Randomize}, {"restore", Operation::Restore},
        {"undo", Operation::Undo}};
    if (argc != 4 || !operations.contains(argv[1])) {
        std::cerr << "usage: tavrin-run-driver hide|randomize|restore|undo <league.lge> <working folder>\n";
        return 2;
    }
    tavrin::run::Request request;
    request.operation = operations.at(argv[1]);
    request.yearsLimit = 50;
    request.league = argv[2];
    tavrin::ProgramState state;
    state.workingFolder = argv[3];
    MarkingProgress progress;
    state.progress = &progress;
    tavrin::ClockRandomSource random;

    const tavrin::run::Outcome o = tavrin::run::RunLeague(request, state, random);
    Mark("end");
    static constexpr const char* kKinds[] = {"Done", "Refused", "Failed", "NothingToDo"};
    std::cout << "outcome " << kKinds[static_cast<int>(o.kind)] << "\nstep " << o.step << "\nmessage " << o.message
              << std::endl;
    return o.kind == tavrin::run::Outcome::Kind::Done ? 0 : 1;
}
