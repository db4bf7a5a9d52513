// tavrin-run-driver: one run of the run core in a process of its own, for the
// tests that kill a run part-way or make its system calls fail.
//
//   tavrin-run-driver hide|randomize|restore <league.lge> <working folder> [years limit]
//
// It prints when each step of the progress window begins, in milliseconds
// since the driver started ("@412 Saving"), then the outcome:
//
//   outcome Failed
//   step Saving the league
//   message Cannot write /x/Demo.pyr.tavrin-new: No space left on device
//
// and exits with 0 when the run was done, 1 otherwise (2 for bad arguments).
// A league whose potentials are still hidden is never gone on with.

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include "pots/RandomSource.h"
#include "run/Run.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimedProgress final : public tavrin::Progress {
public:
    void Show() override { Mark("show"); }
    void UpdateBar(std::string_view text, double) override {
        if (text != last_) Mark(std::string(text));
        last_ = text;
    }
    void Unload() override {
        Mark("unload");
        last_.clear();
    }

    static void Mark(const std::string& what) {
        static const Clock::time_point start = Clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        std::cout << "@" << ms << " " << what << std::endl;
    }

private:
    std::string last_;
};

struct NeverGoOn final : tavrin::run::Host {
    bool GoOnWhileStillHidden(const tavrin::run::StillHidden&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    TimedProgress::Mark("start");
    using tavrin::run::Operation;
    const std::map<std::string_view, Operation> operations{
        {"hide", Operation::Hide}, {"randomize", Operation::Randomize}, {"restore", Operation::Restore}};
    if (argc < 4 || argc > 5 || !operations.contains(argv[1])) {
        std::cerr << "usage: tavrin-run-driver hide|randomize|restore <league.lge> <working folder> [years limit]\n";
        return 2;
    }
    tavrin::run::Request request;
    request.operation = operations.at(argv[1]);
    request.yearsLimit = static_cast<std::int16_t>(argc == 5 ? std::stoi(argv[4]) : 50);
    request.league = std::filesystem::path(argv[2]);

    tavrin::ProgramState state;
    state.appDir = std::filesystem::path(argv[3]);
    TimedProgress progress;
    state.progress = &progress;
    NeverGoOn host;
    tavrin::ClockRandomSource random;

    const tavrin::run::Outcome o = tavrin::run::RunLeague(request, state, host, random);
    TimedProgress::Mark("end");
    static constexpr const char* kKinds[] = {"Done", "Refused", "Cancelled", "Failed", "NothingToDo"};
    std::cout << "outcome " << kKinds[static_cast<int>(o.kind)] << "\nstep " << o.step << "\nmessage " << o.message
              << std::endl;
    return o.kind == tavrin::run::Outcome::Kind::Done ? 0 : 1;
}
