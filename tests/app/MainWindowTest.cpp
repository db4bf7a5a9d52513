// The main window between runs, and the runs that end before any league is
// read: its start state, the options and the list, a cancelled file dialog.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "AppTestSupport.h"

using namespace tavrin::apptest;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallMessageFilter(); }

    void startsWithHidePotsAndNoEntryChosen() {
        Harness h;
        QCOMPARE(h.form->size(), QSize(386, 176));
        QCOMPARE(h.form->minimumSize(), h.form->maximumSize());
        QVERIFY(!(h.form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(h.form->windowFlags() & Qt::WindowMinimizeButtonHint);

        QCOMPARE(h.cmdOK()->text(), QString("&OK"));
        QCOMPARE(h.cmdCancel()->text(), QString("&Cancel"));
        QCOMPARE(h.optPots(0)->text(), QString("Hide Pots"));
        QCOMPARE(h.optPots(1)->text(), QString("Ramdomize Pots"));
        QCOMPARE(h.optPots(2)->text(), QString("Restore Pots"));
        QCOMPARE(h.form->findChild<QLabel*>("Label1")->text(), QString("Hide Pots For:"));
        QCOMPARE(h.form->findChild<QGroupBox*>("Frame1")->title(), QString());

        QVERIFY(h.optPots(0)->isChecked());
        QVERIFY(!h.optPots(1)->isChecked());
        QVERIFY(!h.optPots(2)->isChecked());
        QComboBox* list = h.cboYears();
        QVERIFY(list->isEnabled());
        QVERIFY(list->isEditable());
        QCOMPARE(list->currentText(), QString("Select Years"));
        QCOMPARE(list->currentIndex(), -1);

        // Hide Pots changes the players whose Years is below the item data.
        const QList<QPair<QString, int>> entries{
            {"All Players", 50},    {"Rookies", 1},         {"1 yr and less", 2}, {"2 yr and less", 3},
            {"3 yr and less", 4},   {"4 yr and less", 5},   {"5 yr and less", 6}, {"6 yr and less", 7},
            {"7 yr and less", 8},   {"8 yr and less", 9}};
        QCOMPARE(list->count(), entries.size());
        for (int i = 0; i < list->count(); ++i) {
            QCOMPARE(list->itemText(i), entries[i].first);
            QCOMPARE(list->itemData(i), QVariant(entries[i].second));
        }

        // Tab order: OK, Cancel, the options, the list.
        QCOMPARE(h.cmdOK()->nextInFocusChain(), h.cmdCancel());
        QWidget* next = h.cmdCancel()->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        QCOMPARE(next, h.optPots(0));
    }

    void theOptionsEnableAndDisableTheList() {
        Harness h;
        h.ChooseYears("3 yr and less");
        for (int option : {1, 2}) {
            h.ChooseOperation(option);
            QVERIFY(h.optPots(option)->isChecked());
            QVERIFY(!h.optPots(0)->isChecked());
            QVERIFY(!h.cboYears()->isEnabled());
            // The list keeps its entry while disabled.
            QCOMPARE(h.cboYears()->currentIndex(), 4);
            QCOMPARE(h.cboYears()->currentText(), QString("3 yr and less"));
        }
        h.ChooseOperation(0);
        QVERIFY(h.cboYears()->isEnabled());
        QCOMPARE(h.cboYears()->currentIndex(), 4);
        QCOMPARE(h.cboYears()->itemData(h.cboYears()->currentIndex()), QVariant(4));
    }

    void typingOverTheEntryLeavesNoneChosen() {
        Harness h;
        h.ChooseYears("Rookies");
        QLineEdit* field = h.cboYears()->lineEdit();
        field->selectAll();
        QTest::keyClicks(field, "2");
        QCOMPARE(h.cboYears()->currentText(), QString("2"));
        QCOMPARE(h.cboYears()->currentIndex(), -1);
        QCOMPARE(h.cboYears()->count(), 10);  // typing adds no entry
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(h.cboYears()->currentIndex(), -1);
        QCOMPARE(h.cboYears()->count(), 10);
    }

    void aCancelledFileDialogTouchesNothing() {
        Harness h;
        const auto league = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(20, 1));
        const auto leagueFiles = Snapshot(h.leagueDir.path());
        h.ChooseOperation(1);

        h.PressOkAnswering({std::nullopt});

        QVERIFY2(h.unanswered.isEmpty(), qPrintable(h.unanswered.join("; ")));
        QCOMPARE(h.dialogs.size(), 1);
        const Dialog& dialog = h.dialogs[0];
        QCOMPARE(dialog.kind, Dialog::FileDialog);
        QCOMPARE(dialog.title, QString("Select League"));
        QCOMPARE(dialog.filters, QStringList{"lge (*.lge)"});
        // While the dialog is up the run is in progress: everything is blocked.
        QVERIFY(dialog.windowBlocked);
        QVERIFY(dialog.closeRefused);

        QVERIFY(Snapshot(h.leagueDir.path()) == leagueFiles);
        QVERIFY(Snapshot(h.appDir.path()).empty());
        QVERIFY(h.endCodes.isEmpty());
        QVERIFY(h.recorder->lives.isEmpty());

        // Back to idle, the list following the option.
        QVERIFY(h.form->isVisible());
        QVERIFY(!h.form->isRunning());
        QVERIFY(h.cmdOK()->isEnabled());
        QVERIFY(h.cmdCancel()->isEnabled());
        for (int i = 0; i < 3; ++i) QVERIFY(h.optPots(i)->isEnabled());
        QVERIFY(!h.cboYears()->isEnabled());
        QVERIFY(h.optPots(1)->isChecked());
    }

    void everyCaptionShowsWhole() {
        // The system's face may be wider than the forms' own; no caption may
        // be clipped for it.
        Harness h;
        for (int i = 0; i < 3; ++i)
            QVERIFY2(h.optPots(i)->sizeHint().width() <= h.optPots(i)->width(), qPrintable(h.optPots(i)->text()));
        QLabel* label = h.form->findChild<QLabel*>("Label1");
        QVERIFY(label->sizeHint().width() <= label->width());
        QVERIFY(label->sizeHint().height() <= label->height() + 2);
        QLineEdit* field = h.cboYears()->lineEdit();
        for (int i = 0; i < h.cboYears()->count(); ++i)
            QVERIFY2(field->fontMetrics().horizontalAdvance(h.cboYears()->itemText(i)) < field->width(),
                     qPrintable(h.cboYears()->itemText(i)));
        QVERIFY(field->fontMetrics().horizontalAdvance("Select Years") < field->width());
        // Nothing grew into its neighbour.
        QVERIFY(!h.optPots(1)->geometry().intersects(h.cboYears()->geometry()));
        QVERIFY(!h.optPots(0)->geometry().intersects(label->geometry()));
    }

    void cancelClosesTheIdleWindow() {
        Harness h;
        QVERIFY(h.form->isVisible());
        h.cmdCancel()->click();
        QVERIFY(!h.form->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
