#pragma once

// The line under the main window's frame: what the last run did, or the
// league the next OK runs on. At its end, from the right: "?" for the About
// box, History… for the league's history and, while a league is given, a
// way back to the file dialog. Its buttons take no focus (their mnemonics and
// the window's keys reach them), so Tab stays among the window's choices.
//
// The label and the buttons are the window's own children, placed in its
// twips like every other control; this object lays them out and keeps them
// up to date.

#include <QObject>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace tavrin::window {

class StatusLine : public QObject {
    Q_OBJECT

public:
    // The line on `window` at `place`, its buttons as high as the line.
    StatusLine(QWidget* window, const QRect& place);

    // The line's whole text (it may show less, ending in "…").
    QString text() const;
    void ShowText(const QString& text);
    // Names the league the next OK runs on, with the way back to the dialog
    // beside it; an empty path clears the line and hides that button.
    void ShowGivenLeague(const QString& path);
    // The league whose history History… opens; empty when there is none yet.
    void SetHistoryLeague(const QString& league);
    // While a run is in progress the buttons are off.
    void SetRunning(bool running);

signals:
    void aboutClicked();
    void historyClicked();
    void otherLeagueClicked();

private:
    void UpdateHistoryButton();

    QRect place_;
    QLabel* text_ = nullptr;
    QPushButton* otherLeagueButton_ = nullptr;
    QPushButton* historyButton_ = nullptr;
    QPushButton* aboutButton_ = nullptr;
    QString historyLeague_;
    bool running_ = false;
};

}  // namespace tavrin::window
