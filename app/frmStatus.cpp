#include "app/frmStatus.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>

#include <cmath>

#include "app/Forms.h"

namespace tavrin::app {

namespace {

constexpr int kBarScale = 100;  // bar units per unit of value
constexpr qint64 kYieldIntervalMs = 16;  // about one frame of a 60 Hz screen
constexpr double kBarMaximum = 100.0;
const char* const kLoadCaption = "Updating: Quarterbacks";

}  // namespace

frmStatus::frmStatus(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    // Positions of the label and the bar are inside Frame1, as in the layout
    // they come from.

    setObjectName("frmStatus");
    setFixedSize(Px(4680), Px(1200));

    // Button-shadow grey behind everything, text in the highlighted-text
    // colour, as the game's tools draw their busy windows.
    QPalette shadow = palette();
    shadow.setColor(QPalette::Window, shadow.color(QPalette::Dark));
    setPalette(shadow);
    setAutoFillBackground(true);

    Frame1 = new QGroupBox(QString(), this);
    Frame1->setObjectName("Frame1");
    Frame1->setGeometry(TwipsRect(120, 0, 4455, 1095));
    Frame1->setAutoFillBackground(true);

    sCaption_ = kLoadCaption;
    lblPosition = new QLabel(sCaption_, Frame1);
    lblPosition->setObjectName("lblPosition");
    lblPosition->setGeometry(TwipsRect(960, 240, 3015, 375));
    lblPosition->setFont(FormFont(12));
    QPalette text = lblPosition->palette();
    text.setColor(QPalette::WindowText, text.color(QPalette::HighlightedText));
    lblPosition->setPalette(text);

    ProgressBar1 = new QProgressBar(Frame1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(TwipsRect(120, 720, 4215, 255));
    ProgressBar1->setRange(0, static_cast<int>(kBarMaximum) * kBarScale);
    ProgressBar1->setTextVisible(false);
    ShowValue();
}

frmStatus::~frmStatus() {
    // Never leave the hourglass behind, even if the window goes while loaded.
    if (fLoaded_) Form_Unload();
}

void frmStatus::Show() {
    if (!fLoaded_) Form_Load();
    CentreOnScreen(*this);
    show();
}

void frmStatus::Form_Load() {
    // A load starts from the window as designed.
    sCaption_ = kLoadCaption;
    sLabelText_.clear();
    fYielded_ = false;
    fValue_ = 0.0f;
    ShowValue();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    fLoaded_ = true;
}

void frmStatus::UpdateBar(std::string_view sText, double iIncrement) {
    const double sum = static_cast<double>(fValue_) + iIncrement;
    // Written so that a NaN sum is refused as well.
    if (!(sum <= kBarMaximum)) return;
    if (sText != sLabelText_) {  // the caption reads the same until the text changes
        sLabelText_.assign(sText);
        sCaption_ = QStringLiteral("Updating: ") + QString::fromUtf8(sText.data(), static_cast<qsizetype>(sText.size()));
    }
    fValue_ = static_cast<float>(sum);
    // The label and the bar are drawn, and pending window events run, at
    // screen rate rather than once per player: on the first call of a step,
    // on its last (the next step of the same size would pass 100), and
    // whenever a frame's time has passed since they last ran. That keeps the
    // windows painted and responsive at a fraction of the cost.
    const bool last = !(sum + iIncrement <= kBarMaximum);
    if (!fYielded_ || last || sinceYield_.elapsed() >= kYieldIntervalMs) {
        ShowValue();
        QCoreApplication::processEvents();
        sinceYield_.restart();
        fYielded_ = true;
    }
}

void frmStatus::Unload() {
    if (!fLoaded_) return;
    hide();
    Form_Unload();
}

void frmStatus::Form_Unload() {
    QGuiApplication::restoreOverrideCursor();
    fLoaded_ = false;
}

QString frmStatus::labelText() const { return sCaption_; }

void frmStatus::ShowValue() {
    if (lblPosition->text() != sCaption_) lblPosition->setText(sCaption_);
    ProgressBar1->setValue(static_cast<int>(std::lround(static_cast<double>(fValue_) * kBarScale)));
}

}  // namespace tavrin::app
