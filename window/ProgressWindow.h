#pragma once

// The progress window: while a long step of a run goes through the players
// (loading, restoring, saving) it shows "Updating: " and the step's text
// above a bar running from 0 to 100. The core reaches it through
// tavrin::Progress and never sees the window itself.

#include <QElapsedTimer>
#include <QWidget>

#include <string>
#include <string_view>

#include "league/Progress.h"

class QGroupBox;
class QLabel;
class QProgressBar;

namespace tavrin::window {

class ProgressWindow : public QWidget, public Progress {
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent = nullptr);
    ~ProgressWindow() override;

    // Loads the window afresh (caption "Updating: Quarterbacks", bar 0), turns
    // the pointer into the hourglass and shows it, not modal. Showing a window
    // that is already loaded only shows it.
    void Show() override;
    // Adds step to the bar. A call whose sum (in double precision) passes
    // 100 is ignored as a whole: label, bar and pending events stay as they
    // are. Otherwise the label reads "Updating: " + text, the bar takes the
    // sum rounded to single precision, and pending window events run when
    // it is time (the first and last call of a showing, and then about once
    // a frame); that is what keeps the windows painted during a run.
    void UpdateBar(std::string_view text, double step) override;
    // Hides the window and gives back the pointer it took.
    void Unload() override;

    // The bar's value and the label's caption as the window keeps them (the
    // widgets show them at the next frame): the value in single precision,
    // 0 to 100.
    float value() const { return value_; }
    QString labelText() const;
    bool isLoaded() const { return loaded_; }

private:
    static QString LoadCaption();
    // A showing starts from the window as designed and takes the hourglass;
    // its end gives the pointer back.
    void BeginShowing();
    void EndShowing();
    void ShowValue();

    QGroupBox* frame_ = nullptr;
    QLabel* stepLabel_ = nullptr;  // "Updating: " and the step's text
    QProgressBar* bar_ = nullptr;

    // QProgressBar counts in whole numbers; the value itself is a float and
    // the bar shows it in hundredths.
    float value_ = 0.0f;
    bool loaded_ = false;
    QString caption_;           // what the label reads: "Updating: " and the step's text
    std::string stepText_;     // the step's text in it
    bool yielded_ = false;      // events have run since this showing began
    QElapsedTimer sinceYield_;
};

}  // namespace tavrin::window
