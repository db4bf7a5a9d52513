#include "window/StatusLine.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tavrin::window {

namespace {

QPushButton* AddButton(QWidget* parent, const QString& caption, const char* name, const QString& accessibleName) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
    text_ = new QLabel(this);
    text_->setObjectName("statusLine");
    text_->setAccessibleName(tr("Status"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A summary is a long sentence: the label takes the room there is and
    // wraps in it, rather than widening the window to the sentence's length.
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Alt+A reaches it.
    otherLeagueButton_ =
        AddButton(this, tr("Choose &another league\u2026"), "otherLeagueButton", tr("Choose another league"));
    otherLeagueButton_->hide();
    historyButton_ = AddButton(this, tr("History\u2026"), "historyButton", tr("History"));
    // A square "?" at the line's end opens the help (as F1 does).
    helpButton_ = AddButton(this, tr("?"), "helpButton", tr("Tavrin Help"));
    helpButton_->setToolTip(tr("Tavrin Help (F1)"));
    const int side = historyButton_->sizeHint().height();
    helpButton_->setFixedSize(side, side);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_, 1);
    for (QPushButton* button : {otherLeagueButton_, historyButton_, helpButton_})
        layout->addWidget(button, 0, Qt::AlignTop);

    connect(helpButton_, &QPushButton::clicked, this, &StatusLine::helpClicked);
    connect(historyButton_, &QPushButton::clicked, this, &StatusLine::historyClicked);
    connect(otherLeagueButton_, &QPushButton::clicked, this, &StatusLine::otherLeagueClicked);
    ShowText(QString());
    UpdateHistoryButton();
}

QString StatusLine::text() const { return text_->text(); }

void StatusLine::ShowText(const QString& text) {
    text_->setText(text);
    // The label takes what room there is (its policy ignores its size), but
    // never less than its longest word, within reason: a word cut in two
    // is no longer shown whole.
    const int chars = text_->fontMetrics().averageCharWidth();
    text_->setMinimumWidth(std::clamp(text_->minimumSizeHint().width(), chars * 12, chars * 40));
    text_->setToolTip(QString());
    text_->setAccessibleDescription(text);
}

void StatusLine::ShowGivenLeague(const QString& path) {
    otherLeagueButton_->setVisible(!path.isEmpty());
    ShowText(path.isEmpty() ? QString() : tr("OK will run on %1").arg(QFileInfo(path).fileName()));
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
    helpButton_->setEnabled(!running);
}

void StatusLine::UpdateHistoryButton() {
    historyButton_->setEnabled(!running_ && !historyLeague_.isEmpty());
    historyButton_->setToolTip(
        historyLeague_.isEmpty()
            ? tr("The history of a league, once one is chosen (Ctrl+H)")
            : tr("The history of %1: its runs, and its files as they were before each (Ctrl+H)")
                  .arg(QFileInfo(historyLeague_).fileName()));
}

}  // namespace tavrin::window
