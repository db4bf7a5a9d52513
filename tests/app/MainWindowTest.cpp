// The program as it starts: its own start-up code runs, and these checks run
// inside its event loop on the window it shows.

#include "AppTest.h"

class MainWindowTest : public QObject {
    Q_OBJECT

    frmMain* form = nullptr;
    QComboBox* list() const { return form->findChild<QComboBox*>("cboYears"); }
    QRadioButton* option(int i) const { return form->findChild<QRadioButton*>("optPots" + QString::number(i)); }

private slots:
    void initTestCase() {
        tavrin::apptest::QuietOffscreen();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* main = qobject_cast<frmMain*>(window)) form = main;
        QVERIFY(form && form->isVisible());
    }

    void startsWithHidePotsAndNoEntryChosen() {
        QCOMPARE(form->windowTitle(), QString("Tavrin v. 0.9.0"));
        QVERIFY(option(0)->isChecked() && !option(1)->isChecked() && !option(2)->isChecked());
        QVERIFY(list()->isEnabled());
        QCOMPARE(list()->currentText(), QString("Select Years"));
        QCOMPARE(list()->currentIndex(), -1);
        // Hide Pots changes the players whose years are below the entry's data.
        QStringList entries{"All Players", "Rookies"};
        for (int years = 1; years <= 8; ++years) entries << QString::number(years) + " yr and less";
        QCOMPARE(list()->count(), entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(list()->itemText(i), entries[i]);
            QCOMPARE(list()->itemData(i), QVariant(i == 0 ? 50 : i));
        }
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
