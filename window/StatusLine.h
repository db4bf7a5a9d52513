#pragma once

// The line under the main window's frame: what the last run did, or the
// league the next OK runs on. The text is shown whole: it wraps onto as
// many lines as it needs and can be selected and copied. At its end, from
// the right: "?" for the help, History… for the league's history and, while
// a league is given, a way back to the file dialog. Its buttons take no
// focus (their mnemonics and the window's keys reach them), so Tab stays
// among the window's choices.

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace tavrin::window {

class StatusLine : public QWidget {
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent = nullptr);

    // The line's whole text.
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
    void helpClicked();
    void historyClicked();
    void otherLeagueClicked();

private:
    void UpdateHistoryButton();

    QLabel* text_ = nullptr;
    QPushButton* otherLeagueButton_ = nullptr;
    QPushButton* historyButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QString historyLeague_;
    bool running_ = false;
};

}  // namespace tavrin::window
