#include "window/ProgressWindow.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>

#include <cmath>

#include "window/FormLayout.h"
#include "window/Texts.h"

namespace tavrin::window {

namespace {

constexpr int kBarScale = 100;  // bar units per unit of value
constexpr qint64 kYieldIntervalMs = 16;  // about one frame of a 60 Hz screen
constexpr double kBarMaximum = 100.0;

}  // namespace

// The caption a showing begins with, before the first step names itself.
QString ProgressWindow::LoadCaption() { return tr("Updating: %1").arg(CoreText("Quarterbacks")); }

ProgressWindow::ProgressWindow(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    // Positions of the label and the bar are inside the frame, as in the
    // layout they come from.

    setObjectName("ProgressWindow");
    setFixedSize(Px(4680), Px(1200));

    // Button-shadow grey behind everything, text in the highlighted-text
    // colour, as the game's tools draw their busy windows.
    QPalette shadow = palette();
    shadow.setColor(QPalette::Window, shadow.color(QPalette::Dark));
    setPalette(shadow);
    setAutoFillBackground(true);

    frame_ = new QGroupBox(QString(), this);
    frame_->setObjectName("frame");
    frame_->setGeometry(TwipsRect(120, 0, 4455, 1095));
    frame_->setAutoFillBackground(true);

    caption_ = LoadCaption();
    stepLabel_ = new QLabel(caption_, frame_);
    stepLabel_->setObjectName("stepLabel");
    stepLabel_->setGeometry(TwipsRect(960, 240, 3015, 375));
    stepLabel_->setFont(FormFont(12));
    QPalette text = stepLabel_->palette();
    text.setColor(QPalette::WindowText, text.color(QPalette::HighlightedText));
    stepLabel_->setPalette(text);

    bar_ = new QProgressBar(frame_);
    bar_->setObjectName("bar");
    bar_->setGeometry(TwipsRect(120, 720, 4215, 255));
    bar_->setRange(0, static_cast<int>(kBarMaximum) * kBarScale);
    bar_->setTextVisible(false);
    ShowValue();
}

ProgressWindow::~ProgressWindow() {
    // Never leave the hourglass behind, even if the window goes while loaded.
    if (loaded_) EndShowing();
}

void ProgressWindow::Show() {
    if (!loaded_) BeginShowing();
    CentreOnScreen(*this);
    show();
}

void ProgressWindow::BeginShowing() {
    caption_ = LoadCaption();
    stepText_.clear();
    yielded_ = false;
    value_ = 0.0f;
    ShowValue();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    loaded_ = true;
}

void ProgressWindow::UpdateBar(std::string_view text, double step) {
    const double sum = static_cast<double>(value_) + step;
    // Written so that a NaN sum is refused as well.
    if (!(sum <= kBarMaximum)) return;
    if (text != stepText_) {  // the caption reads the same until the text changes
        stepText_.assign(text);
        caption_ = tr("Updating: %1").arg(CoreText(text));
    }
    value_ = static_cast<float>(sum);
    // The label and the bar are drawn, and pending window events run, at
    // screen rate rather than once per player: on the first call of a step,
    // on its last (the next step of the same size would pass 100), and
    // whenever a frame's time has passed since they last ran. That keeps the
    // windows painted and responsive at a fraction of the cost.
    const bool last = !(sum + step <= kBarMaximum);
    if (!yielded_ || last || sinceYield_.elapsed() >= kYieldIntervalMs) {
        ShowValue();
        QCoreApplication::processEvents();
        sinceYield_.restart();
        yielded_ = true;
    }
}

void ProgressWindow::Unload() {
    if (!loaded_) return;
    hide();
    EndShowing();
}

void ProgressWindow::EndShowing() {
    QGuiApplication::restoreOverrideCursor();
    loaded_ = false;
}

QString ProgressWindow::labelText() const { return caption_; }

void ProgressWindow::ShowValue() {
    if (stepLabel_->text() != caption_) stepLabel_->setText(caption_);
    bar_->setValue(static_cast<int>(std::lround(static_cast<double>(value_) * kBarScale)));
}

}  // namespace tavrin::window
