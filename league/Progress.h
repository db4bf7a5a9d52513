#pragma once

// How the core reaches the progress window. The steps that go through every
// player (loading, restoring, saving) show it at their start, advance it once
// per player and unload it at their end; the window itself lives in the app.

#include <string_view>

namespace tavrin {

class Progress {
public:
    virtual ~Progress() = default;
    // Loads and shows the window: bar at 0, hourglass pointer.
    virtual void Show() = 0;
    // Adds `step` to the bar and shows "Updating: " + `text`, unless the sum
    // would pass 100, in which case the call changes nothing.
    virtual void UpdateBar(std::string_view text, double step) = 0;
    // Unloads the window and restores the default pointer.
    virtual void Unload() = 0;
};

// For runs without a window (the benchmark, most core tests).
class SilentProgress final : public Progress {
public:
    void Show() override {}
    void UpdateBar(std::string_view, double) override {}
    void Unload() override {}
};

// Shows the window for the life of a step and unloads it however the step
// ends, so an error never leaves the hourglass behind.
class ProgressShowing {
public:
    explicit ProgressShowing(Progress& progress) : progress_(progress) { progress_.Show(); }
    ~ProgressShowing() { progress_.Unload(); }
    ProgressShowing(const ProgressShowing&) = delete;
    ProgressShowing& operator=(const ProgressShowing&) = delete;

private:
    Progress& progress_;
};

}  // namespace tavrin
