// Runs through the main window: what only the window can get wrong. The
// order of its dialogs, the progress window's showings, runs one after
// another on one league, and how each outcome is told. What a run writes is the
// run core's tests' part.

#include "AppTest.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;

namespace {

const QString kSelectLeague = "Select League|Leagues (*.lge)";
fs::path Pyr(fs::path lge) { return lge.replace_extension(".pyr"); }
fs::path Pot(fs::path lge) { return lge.replace_extension(".pot"); }

gen::League League() { return {gen::Kind::L02, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}}; }

}  // namespace

class RunTest : public QObject {
    Q_OBJECT

    // Idle again with the default pointer; blocked while dialogs were up;
    // every showing of the progress window whole, unless the run failed.
    static void ExpectIdle(Harness& h) {
        QVERIFY(!h.form.isRunning() && h.form.isVisible() && h.Find<QPushButton>("okButton")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor() && h.blocked && (h.livesWhole || !h.ends.isEmpty()));
    }

private slots:
    // Hide with no entry chosen (at the start, or after typing over one) is
    // told at once, before the file dialog; a cancelled dialog ends quietly.
    void nothingIsOpenedWithoutAChoice_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("dialogs");
        QTest::newRow("no entry") << "" << QStringList{"Tavrin|Select Years"};
        QTest::newRow("typed over") << "Rookie" << QStringList{"Tavrin|Select Years"};
        QTest::newRow("dialog cancelled") << "-" << QStringList{kSelectLeague};
    }
    void nothingIsOpenedWithoutAChoice() {
        QFETCH(QString, typed);
        QFETCH(QStringList, dialogs);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        const auto before = Snapshot(h.leagueDir.path());
        if (!typed.isEmpty()) h.Years("Rookies");
        if (typed == "Rookie") {
            h.list->lineEdit()->selectAll();
            QTest::keyClicks(h.list->lineEdit(), typed);
        }
        h.PressOk(typed == "-" ? fs::path() : lge);
        ExpectIdle(h);
        QCOMPARE(h.dialogs, dialogs);
        QVERIFY(Snapshot(h.leagueDir.path()) == before && Snapshot(h.appDir.path()).empty() && h.ends.isEmpty());
    }

    // Hide, then Randomize; the history window (Ctrl+H) lists the runs, newest
    // first and selected. Undo… on the oldest asks first, naming the run and
    // the one after it that goes with it; confirmed, it gives the league's
    // files as they were before it, says so on the status line, and the undo
    // is listed on top. Edit > Undo Last Run… (Ctrl+Z) asks History's own
    // question of the newest run, and Cancel, the default, changes nothing.
    void undoThroughTheHistoryWindowAndTheEditMenu() {
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        const Bytes original = ReadFileBytes(Pyr(lge));
        h.Years("All Players");
        h.PressOk(lge);
        h.Option(1);
        h.PressOk(lge);
        // Each step of each run showed the progress window afresh.
        QCOMPARE(h.lives, (QStringList{"Loading League", "Saving", "Loading League", "Saving"}));
        h.dialogs.clear();
        QTest::keyClick(&h.form, Qt::Key_H, Qt::ControlModifier);
        auto* window = h.form.findChild<QDialog*>("HistoryWindow");
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QString("History of lg.lge"));
        auto* runs = window->findChild<QTreeWidget*>("runs");
        const auto numbers = [&] {
            QStringList shown;
            for (int i = 0; i < runs->topLevelItemCount(); ++i) shown << runs->topLevelItem(i)->text(0);
            return shown.join(" ") + " selected " + runs->currentItem()->text(0);
        };
        QCOMPARE(numbers(), QString("2 1 selected 2"));
        auto* undo = window->findChild<QPushButton*>("undoButton");
        QCOMPARE(undo->text(), QString("&Undo\u2026"));

        // The newest run's question, from History and from the menu, unanswered.
        h.Answering({}, [&] { undo->click(); });
        window->close();
        QCoreApplication::processEvents();
        const auto before = Snapshot(h.leagueDir.path());
        h.form.activateWindow();  // the keys are the active window's
        QVERIFY(QTest::qWaitForWindowActive(&h.form));
        h.Answering({}, [&] { QTest::keyClick(&h.form, Qt::Key_Z, Qt::ControlModifier); });
        QCOMPARE(h.dialogs.size(), 2);
        QVERIFY2(h.dialogs[0].startsWith("Tavrin|Undo run 2 (Randomize on ") && h.dialogs[0].endsWith(")?"),
                 qPrintable(h.dialogs[0]));
        QCOMPARE(h.dialogs[1], h.dialogs[0]);
        QCOMPARE(h.informative.value(1), h.informative.value(0));
        QCOMPARE(h.informative[0], QString("lg.pyr and lg.pot come back as they were before it. The files as they are "
                                           "now are kept in the history first, so the undo can be undone too."));
        QCOMPARE(h.defaults, (QStringList{"Cancel", "Cancel"}));
        QVERIFY(Snapshot(h.leagueDir.path()) == before);

        h.dialogs.clear();
        h.Action("historyAction")->trigger();
        window = h.form.findChild<QDialog*>("HistoryWindow");
        runs = window->findChild<QTreeWidget*>("runs");
        runs->setCurrentItem(runs->topLevelItem(1));
        h.questionKey = 0;
        h.questionAnswer = "Undo";
        h.Answering({}, [&] { window->findChild<QPushButton*>("undoButton")->click(); });
        ExpectIdle(h);
        QVERIFY(ReadFileBytes(Pyr(lge)) == original && !fs::exists(Pot(lge)));
        QCOMPARE(h.dialogs.size(), 1);
        QVERIFY2(h.dialogs[0].startsWith("Tavrin|Undo run 1 (Hide on ") && h.dialogs[0].endsWith(") and the run after it?"),
                 qPrintable(h.dialogs[0]));
        QVERIFY2(h.informative.last().startsWith("lg.pyr comes back as it was before it, and lg.pot is removed"),
                 qPrintable(h.informative.last()));
        QVERIFY2(h.form.statusText().startsWith("Brought back lg.pyr as it was before run 1 (Hide on "),
                 qPrintable(h.form.statusText()));
        QCOMPARE(numbers(), QString("3 2 1 selected 3"));
        window->close();
    }

    // A refusal is a warning and the program goes on; a league of a tag
    // Tavrin does not know is told, naming the file and the tag; a failure in
    // the operation is "Error" and the end of the program. Nothing changes.
    void refusalsAndFailuresAreTold_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::addColumn<QString>("text");
        QTest::newRow("no .pot") << "" << QMessageBox::Warning << "Cannot restore the potentials from";
        QTest::newRow("unknown tag") << "tag" << QMessageBox::Information
                                     << "%1 is not a league Tavrin knows: its header begins with \"XYZ!\", not "
                                        "\"L02:\" or \"L03:\". No file was changed.";
        QTest::newRow("the operation fails") << "fail" << QMessageBox::Critical << "Error";
    }
    void refusalsAndFailuresAreTold() {
        QFETCH(QString, spoil);
        QFETCH(QMessageBox::Icon, icon);
        QFETCH(QString, text);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        if (spoil == "tag") {
            Bytes bytes = ReadFileBytes(lge);
            std::copy_n("XYZ!", 4, bytes.begin());
            WriteFileBytes(lge, bytes);
        }
        if (spoil == "fail") {
            h.Years("All Players");
            h.PressOk(lge);
            h.dialogs.clear();
            h.lives.clear();
            // The working database spoilt as Restoring Pots begins (the
            // second showing of the run's progress window).
            h.onShow = [&, first = h.showings + 1](int showing) {
                if (showing == first + 1) WriteFileBytes(h.appDir.path() / "Temp.mdb", Bytes(4096, 'x'));
            };
        }
        const auto before = Snapshot(h.leagueDir.path());
        h.Option(2);
        h.PressOk(lge);
        ExpectIdle(h);
        const QString file = QDir::toNativeSeparators(QString::fromStdU16String(lge.u16string()));
        const QString told = "Tavrin|" + (spoil == "tag" ? text.arg(file) : text);
        QVERIFY2(h.dialogs.value(1).startsWith(told), qPrintable(h.dialogs.value(1)));
        QCOMPARE(h.icons, QList<QMessageBox::Icon>{icon});
        QCOMPARE(h.ends, icon == QMessageBox::Critical ? QList<int>{1} : QList<int>{});
        QVERIFY(Snapshot(h.leagueDir.path()) == before && h.form.statusText().isEmpty() == (spoil != "fail"));
    }
};

QTEST_MAIN(RunTest)
#include "WindowRunTest.moc"
