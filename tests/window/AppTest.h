#pragma once

// A main window wired as the program wires it, in folders of the test's own
// (its settings too), with a driver for the dialogs of a run and a record of
// the progress window.

#include <QtTest>
#include <QtWidgets>

#include "Fixture.h"
#include "window/MainWindow.h"
#include "window/ProgressWindow.h"

namespace tavrin::apptest {

// Drops the offscreen platform's notes on what it cannot do; passes the rest on.
inline void QuietOffscreen() {
    static const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith("This plugin does not support") && previous) previous(type, context, text);
        });
}

class Harness : public QObject {
public:
    Harness() {
        QuietOffscreen();
        QApplication::setQuitOnLastWindowClosed(false);
        QCoreApplication::setOrganizationName("Tavrin");
        QCoreApplication::setApplicationName("Tavrin");
        UseSettingsIn(settingsDir.path());
        state.workingFolder = appDir.path();
        state.progress = status;
        status->installEventFilter(this);
        connect(&form, &window::MainWindow::endProgram, this, [this](int code) { ends << code; });
        form.show();
    }

    // The settings of every window made from now on, as QSettings finds them.
    static void UseSettingsIn(const std::filesystem::path& dir) {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdU16String(dir.u16string()));
    }

    template <class T> T* Find(const QString& name) { return form.findChild<T*>(name); }
    QAction* Action(const QString& name) { return Find<QAction>(name); }
    void Option(int index) { Find<QRadioButton>(QStringLiteral("operationButton%1").arg(index))->click(); }
    void Years(const QString& entry) { list->setCurrentIndex(list->findText(entry)); }

    // Presses OK and returns when the run has ended.
    void PressOk(const std::filesystem::path& path) {
        Answering(path, [this] { Find<QPushButton>("okButton")->click(); });
    }

    // Does what may open dialogs and returns when it is done. The file dialog
    // is answered with the path ("" cancels it); each message box is recorded
    // and answered OK, a question with the key in `questionKey` (Escape, or
    // Return for its default button) or else its button captioned `answer`.
    void Answering(const std::filesystem::path& path, const std::function<void()>& action) {
        const QString answer = QString::fromStdU16String(path.u16string());
        QPointer<QWidget> seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* box = qobject_cast<QMessageBox*>(modal);
            auto* files = qobject_cast<QFileDialog*>(modal);
            if (modal && modal != seen) {
                seen = modal;
                if (form.isRunning()) blocked = blocked && !Find<QPushButton>("okButton")->isEnabled() && !form.close();
                const QString what = box ? box->text() : files ? files->nameFilters().join(";") : QString();
                dialogs << modal->windowTitle() + "|" + what;
                if (box) icons << box->icon();
                if (box) informative << box->informativeText();
                if (files)
                    folders << files->directory().absolutePath() + "|" +
                                   files->findChild<QLineEdit*>("fileNameEdit")->text();
            }
            if (box && box->button(QMessageBox::Ok)) {
                box->button(QMessageBox::Ok)->click();
            } else if (box) {
                defaults << (box->defaultButton() ? box->defaultButton()->text() : QString());
                if (questionKey) QTest::keyClick(box, static_cast<Qt::Key>(questionKey));
                for (QAbstractButton* b : box->buttons())
                    if (!questionKey && b->text() == questionAnswer) b->click();
            } else if (files && !answer.isEmpty()) {
                // Answered again on the next poll if still busy with its folder.
                files->selectFile(answer);
                files->findChild<QLineEdit*>("fileNameEdit")->setText(answer);
                static_cast<QDialog*>(files)->accept();  // protected in QFileDialog
            } else if (modal) {
                modal->close();
            }
        });
        poll.start(10);
        action();
    }

    int questionKey = Qt::Key_Escape;
    QString questionAnswer;
    QStringList defaults;            // each question's default button
    QList<int> ends;                 // each call of the program's end
    QStringList dialogs;             // "title|filters" or "title|text" of each dialog
    QList<QMessageBox::Icon> icons;  // of each message box
    QStringList informative;         // the informative text of each message box
    QStringList folders;             // "folder|file name shown" of each file dialog
    QStringList lives;               // the progress window's text as each showing ended
    bool livesWhole = true;  // each showing began at 0 with the first text and the hourglass, ended past 90
    bool blocked = true;     // while each dialog was up, OK was off and the window refused to close
    // Called as the progress window shows, with how many times it has.
    std::function<void(int)> onShow;
    int showings = 0;
    test::TempDir leagueDir, appDir, settingsDir;
    ProgramState state;
    ClockRandomSource random;
    window::MainWindow form{state, random};
    window::ProgressWindow* status = new window::ProgressWindow(&form);
    QComboBox* list = Find<QComboBox>("yearsList");

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (onShow) onShow(++showings);
            const QCursor* cursor = QGuiApplication::overrideCursor();
            livesWhole = livesWhole && status->value() == 0.0f && cursor && cursor->shape() == Qt::WaitCursor &&
                         status->labelText() == "Updating: Quarterbacks";
        } else if (event->type() == QEvent::Hide) {
            livesWhole = livesWhole && status->value() > 90.0f;
            lives << status->labelText().remove("Updating: ");
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace tavrin::apptest
