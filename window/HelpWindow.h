#pragma once

// Tavrin Help (F1): the user's guide in a window of its own. Its text is the
// README's sections for users, marked there and copied into the program when
// it is built (window/CMakeLists.txt), so the README and the help never
// differ.

#include <QWidget>

class QTextBrowser;

namespace tavrin::window {

// The help's text, as Markdown; empty where the build carried none.
QString HelpText();

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace tavrin::window
