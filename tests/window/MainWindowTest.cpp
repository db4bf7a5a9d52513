// The program as it starts: its own start-up code runs, and these checks run
// inside its event loop on the window it shows. CTest starts it twice: plainly,
// and with a league as its argument.

#include "AppTest.h"

#include <tuple>
#include <vector>

#include "window/FormLayout.h"

using tavrin::window::Px;

class MainWindowTest : public QObject {
    Q_OBJECT

    tavrin::window::MainWindow* form = nullptr;
    template <class T = QWidget> T* find(const char* name) const { return form->findChild<T*>(name); }
    QComboBox* list() const { return form->findChild<QComboBox*>("yearsList"); }
    QRadioButton* option(int i) const { return form->findChild<QRadioButton*>("operationButton" + QString::number(i)); }

private slots:
    void initTestCase() {
        tavrin::apptest::QuietOffscreen();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* main = qobject_cast<tavrin::window::MainWindow*>(window)) form = main;
        QVERIFY(form && form->isVisible());
    }

    void startsWithHidePotsAndNoEntryChosen() {
        QCOMPARE(form->windowTitle(), QString("Tavrin v. 0.9.0"));
        QVERIFY(option(0)->isChecked() && !option(1)->isChecked() && !option(2)->isChecked());
        QCOMPARE(option(0)->text() + ", " + option(1)->text() + ", " + option(2)->text(),
                 QString("Hide Pots, Randomize Pots, Restore Pots"));
        QVERIFY(list()->isEnabled() && list()->currentIndex() == -1);
        QCOMPARE(list()->currentText(), QString("Select Years"));
        // Hide Pots changes the players whose years are below the entry's data.
        QStringList entries;
        for (int i = 0; i < list()->count(); ++i) entries << list()->itemText(i) + "=" + list()->itemData(i).toString();
        QCOMPARE(entries.join(", "), QString("All Players=50, Rookies=1, 1 yr and less=2, 2 yr and less=3, 3 yr and less=4, "
                                             "4 yr and less=5, 5 yr and less=6, 6 yr and less=7, 7 yr and less=8, 8 yr and less=9"));
    }

    // The window grows and shrinks with its layout, never below the form it
    // grew from: OK and Cancel stay at the top right, the frame and the
    // status line take the width, and at the smallest size every control
    // shows its whole caption inside the window.
    void resizesDownToTheFormsSize() {
        const QSize form386x200(Px(5790), Px(2640 + 360));
        QVERIFY(form->minimumSize().width() >= form386x200.width() && form->minimumSize().height() >= form386x200.height());
        const auto sized = [&](QSize size) {
            form->resize(size);
            QCoreApplication::processEvents();
            return form->size();
        };
        QCOMPARE(sized({900, 520}), QSize(900, 520));
        const QRect ok = find("okButton")->geometry().translated(find("okButton")->parentWidget()->mapTo(form, QPoint()));
        QVERIFY2(ok.right() > 900 - 40 && ok.top() < 80, qPrintable(QString::number(ok.right())));
        QVERIFY(find("operationBox")->width() > 900 / 2 && find("statusLine")->width() > 900 / 2);
        QCOMPARE(sized({100, 100}), form->minimumSize());
        for (const char* name : {"okButton", "cancelButton", "operationButton0", "operationButton1", "operationButton2",
                                 "yearsList", "yearsLabel", "historyButton", "helpButton"}) {
            QWidget* w = find(name);
            const QRect place(w->mapTo(form, QPoint()), w->size());
            // (The "?" is square by design: its size is fixed.)
            const bool whole = w->width() >= w->minimumSizeHint().width() || w->minimumSize() == w->maximumSize();
            QVERIFY2(form->rect().contains(place) && whole, name);
        }
        form->resize(form->sizeHint());
    }

    // The menu bar: each menu's entries in order, with the platform's own
    // keys where it has them, reachable from anywhere in the window.
    void theMenusAndTheirKeys() {
        // The system's own keys, where it has them (Quit has none on Windows).
        const auto keys = [](QKeySequence::StandardKey key) {
            const QString bound = QKeySequence::keyBindings(key).value(0).toString();
            return bound.isEmpty() ? bound : " " + bound;
        };
        QStringList menus;
        for (QAction* menu : form->menuBar()->actions()) {
            QStringList entries;
            for (QAction* entry : menu->menu()->actions()) {
                if (entry->isSeparator()) continue;
                entries << entry->text() + (entry->shortcut().isEmpty() ? "" : " " + entry->shortcut().toString());
                QVERIFY(entry->menu() || form->actions().contains(entry));
            }
            menus << menu->text() + ": " + entries.join(", ");
        }
        QCOMPARE(menus, (QStringList{"&League: &Open\u2026" + keys(QKeySequence::Open) + ", Open &Recent, &Quit" + keys(QKeySequence::Quit),
                                     "&Edit: &Undo Last Run\u2026" + keys(QKeySequence::Undo),
                                     "&View: &Players\u2026 Ctrl+L, &History\u2026 Ctrl+H",
                                     "&Help: Tavrin &Help" + keys(QKeySequence::HelpContents) + ", &About Tavrin"}));
    }

    // Enter's default button, the list's label, a name for every control for
    // screen readers, Tab from OK to the list, and the program's icon.
    void keyboardScreenReadersAndIcon() {
        QVERIFY(find<QPushButton>("okButton")->isDefault());
        QCOMPARE(find<QLabel>("yearsLabel")->buddy(), find("yearsList"));
        for (const char* name : {"okButton", "cancelButton", "operationBox", "operationButton0", "operationButton1", "operationButton2", "yearsList",
                                 "yearsLabel", "statusLine", "otherLeagueButton", "historyButton", "helpButton"})
            QVERIFY2(!QAccessible::queryAccessibleInterface(find(name))->text(QAccessible::Name).isEmpty(), name);
        QStringList tabs;
        for (QWidget* w = find("okButton"); tabs.size() < 6; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy()) tabs << w->objectName();
        QCOMPARE(tabs, (QStringList{"okButton", "cancelButton", "operationButton0", "operationButton1", "operationButton2", "yearsList"}));
        QVERIFY(!form->windowIcon().pixmap(32).isNull() && !QApplication::windowIcon().isNull());
    }

    // A league given as the argument is the one OK runs on, named on the
    // status line; without one OK asks. Qt's own options before it (CTest
    // gives -style windows) are Qt's, and not the league.
    void theArgumentIsTheLeague() {
        const QStringList given = QCoreApplication::arguments().mid(1);
        QCOMPARE(QApplication::style()->name(), given.isEmpty() ? QApplication::style()->name() : "windows");
        const QFileInfo league(given.value(0));
        QCOMPARE(form->givenLeague(), given.isEmpty() ? QString() : league.absoluteFilePath());
        QCOMPARE(form->statusText(), given.isEmpty() ? QString() : "OK will run on " + league.fileName());
        QCOMPARE(find("otherLeagueButton")->isVisible(), !given.isEmpty());
    }

    void onlyHidePotsTakesTheListWhichKeepsItsEntry() {
        list()->setCurrentIndex(4);
        for (int i : {1, 2, 0}) {
            option(i)->click();
            QCOMPARE(list()->isEnabled(), i == 0);
            QCOMPARE(list()->currentIndex(), 4);
            QCOMPARE(list()->currentText(), QString("3 yr and less"));
        }
    }
};

// Runs the tests once the program's event loop has started; their result ends the program.
static void TestTheRunningProgram() {
    QTimer::singleShot(0, [] { MainWindowTest test; QCoreApplication::exit(QTest::qExec(&test)); });
}
Q_COREAPP_STARTUP_FUNCTION(TestTheRunningProgram)

#include "MainWindowTest.moc"
