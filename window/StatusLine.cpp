#include "window/StatusLine.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

#include "window/FormLayout.h"

namespace tavrin::window {

namespace {

// A label of one line that shows as much of its text as fits, ending in "…".
// Its text stays whole: for the tool tip, tests and screen readers.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

QPushButton* AddButton(QWidget* window, const QString& caption, const char* name, const char* accessibleName) {
    auto* button = new QPushButton(caption, window);
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// The room between the buttons, and between the text and the first of them.
constexpr int kButtonGap = Px(60);
constexpr int kTextGap = Px(120);

}  // namespace

StatusLine::StatusLine(QWidget* window, const QRect& place) : QObject(window), place_(place) {
    text_ = new ElidingLabel(window);
    text_->setObjectName("statusLine");
    text_->setAccessibleName("Status");
    text_->setGeometry(place);
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    // A square "?" at the line's end opens the About box (as F1 does).
    aboutButton_ = AddButton(window, "?", "aboutButton", "About Tavrin");
    aboutButton_->setToolTip("About Tavrin, and where it keeps its files (F1)");
    aboutButton_->setGeometry(place.right() + 1 - place.height(), place.y(), place.height(), place.height());

    // Alt+A reaches it.
    otherLeagueButton_ = AddButton(window, "Choose &another league\u2026", "otherLeagueButton", "Choose another league");
    otherLeagueButton_->hide();

    // History… before the "?", as narrow as its caption allows: the line's
    // text needs the room. The way back to the dialog goes before it.
    historyButton_ = AddButton(window, "History\u2026", "historyButton", "History");
    const int historyWidth = std::min(historyButton_->sizeHint().width(),
                                      historyButton_->fontMetrics().horizontalAdvance(historyButton_->text()) + Px(240));
    historyButton_->setGeometry(aboutButton_->x() - kButtonGap - historyWidth, place.y(), historyWidth, place.height());
    const int otherWidth = otherLeagueButton_->sizeHint().width();
    otherLeagueButton_->setGeometry(historyButton_->x() - kButtonGap - otherWidth, place.y(), otherWidth,
                                    place.height());
    text_->setFixedWidth(historyButton_->x() - kTextGap - place.x());

    connect(aboutButton_, &QPushButton::clicked, this, &StatusLine::aboutClicked);
    connect(historyButton_, &QPushButton::clicked, this, &StatusLine::historyClicked);
    connect(otherLeagueButton_, &QPushButton::clicked, this, &StatusLine::otherLeagueClicked);
    UpdateHistoryButton();
}

QString StatusLine::text() const { return text_->text(); }

void StatusLine::ShowText(const QString& text) {
    text_->setText(text);
    text_->setToolTip(text);
    text_->setAccessibleDescription(text);
}

void StatusLine::ShowGivenLeague(const QString& path) {
    otherLeagueButton_->setVisible(!path.isEmpty());
    // The line's text stops short of the button while it shows.
    text_->setFixedWidth((path.isEmpty() ? historyButton_->x() : otherLeagueButton_->x()) - kTextGap - place_.x());
    ShowText(path.isEmpty() ? QString() : "OK will run on " + QFileInfo(path).fileName());
    if (!path.isEmpty()) text_->setToolTip(QDir::toNativeSeparators(path));
}

void StatusLine::SetHistoryLeague(const QString& league) {
    historyLeague_ = league;
    UpdateHistoryButton();
}

void StatusLine::SetRunning(bool running) {
    running_ = running;
    UpdateHistoryButton();
    otherLeagueButton_->setEnabled(!running);
    aboutButton_->setEnabled(!running);
}

void StatusLine::UpdateHistoryButton() {
    historyButton_->setEnabled(!running_ && !historyLeague_.isEmpty());
    historyButton_->setToolTip(historyLeague_.isEmpty()
                                   ? "The history of a league, once one is chosen (Ctrl+H)"
                                   : "The history of " + QFileInfo(historyLeague_).fileName() +
                                         ": its runs, and its files as they were before each (Ctrl+H)");
}

}  // namespace tavrin::window
