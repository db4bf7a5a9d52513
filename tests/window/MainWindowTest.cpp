// The program as it starts: its own start-up code runs, and these checks run
// inside its event loop on the window it shows. CTest starts it twice: plainly,
// and with a league as its argument.

#include "AppTest.h"

#include <tuple>
#include <vector>

#include "window/FormLayout.h"

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
        QVERIFY(list()->isEnabled() && list()->currentIndex() == -1);
        QCOMPARE(list()->currentText(), QString("Select Years"));
        // Hide Pots changes the players whose years are below the entry's data.
        QStringList entries;
        for (int i = 0; i < list()->count(); ++i) entries << list()->itemText(i) + "=" + list()->itemData(i).toString();
        QCOMPARE(entries.join(", "), QString("All Players=50, Rookies=1, 1 yr and less=2, 2 yr and less=3, 3 yr and less=4, "
                                             "4 yr and less=5, 5 yr and less=6, 6 yr and less=7, 7 yr and less=8, 8 yr and less=9"));
    }

    // Every control where its table puts it, in twips; captions may only grow
    // to the right. The status line adds its height under the frame.
    void laidOutInTwipsWithTheStatusLineBelow() {
        using tavrin::window::TwipsRect;
        QCOMPARE(form->size(), TwipsRect(0, 0, 5790, 2640 + 360).size());
        const std::vector<std::tuple<const char*, QRect, bool>> table{
            {"okButton", TwipsRect(4080, 360, 1575, 430), false},    {"cancelButton", TwipsRect(4080, 960, 1575, 430), false},
            {"operationBox", TwipsRect(120, 240, 3735, 2175), false},   {"operationButton0", TwipsRect(240, 360, 1215, 375), true},
            {"operationButton1", TwipsRect(240, 720, 1575, 375), true},   {"operationButton2", TwipsRect(240, 1080, 1215, 375), true},
            {"yearsList", TwipsRect(2040, 600, 1455, 315), false}, {"yearsLabel", TwipsRect(2040, 360, 1095, 255), true},
        };
        for (const auto& [name, place, grows] : table) {
            const QRect got = find(name)->geometry();
            const bool grownRight = got.topLeft() == place.topLeft() && got.height() == place.height() &&
                                    got.width() >= place.width();
            QVERIFY2(grows ? grownRight : got == place, name);
        }
        // The line's text stops short of its buttons: "?" at its end, History
        // before it, and the way back to the dialog before that while it shows.
        const QRect line = TwipsRect(120, 2520, 5550, 360), status = find("statusLine")->geometry(),
                    button = find("otherLeagueButton")->geometry(), history = find("historyButton")->geometry(),
                    about = find("aboutButton")->geometry();
        QCOMPARE(status.united(button).united(history).united(about), line);
        QVERIFY(!status.intersects(history) && !button.intersects(history) && !history.intersects(about));
        QVERIFY(about.width() == about.height() && about.right() == line.right());
        QVERIFY(!(find("otherLeagueButton")->isVisible() && status.intersects(button)));
    }

    // Enter's default button, the list's label, a name for every control for
    // screen readers, Tab from OK to the list, and the program's icon.
    void keyboardScreenReadersAndIcon() {
        QVERIFY(find<QPushButton>("okButton")->isDefault());
        QCOMPARE(find<QLabel>("yearsLabel")->buddy(), find("yearsList"));
        for (const char* name : {"okButton", "cancelButton", "operationBox", "operationButton0", "operationButton1", "operationButton2", "yearsList",
                                 "yearsLabel", "statusLine", "otherLeagueButton", "historyButton", "aboutButton"})
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
