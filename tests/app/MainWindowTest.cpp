// The program as it starts: its own start-up code runs, and these checks run
// inside its event loop on the window it shows.

#include "AppTest.h"

class MainWindowTest : public QObject {
    Q_OBJECT

    tavrin::app::frmMain* form = nullptr;
    QComboBox* list() const { return form->findChild<QComboBox*>("cboYears"); }
    QRadioButton* option(int i) const { return form->findChild<QRadioButton*>("optPots" + QString::number(i)); }

private slots:
    void initTestCase() {
        tavrin::apptest::QuietOffscreen();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* main = qobject_cast<tavrin::app::frmMain*>(window)) form = main;
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
