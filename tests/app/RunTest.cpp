// Runs through the main window: what only the window can get wrong. The
// order of its dialogs, the progress window's showings, the question of a
// still-hidden league, and how each outcome is told. What a run writes is the
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
        QVERIFY(!h.form.isRunning() && h.form.isVisible() && h.Find<QPushButton>("cmdOK")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor() && h.blocked && (h.livesWhole || !h.ends.isEmpty()));
    }

private slots:
    // Hide, then Restore: each step of each run shows the progress window
    // afresh, and the league comes back as it was.
    void hideThenRestoreShowEachStep() {
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        const Bytes original = ReadFileBytes(Pyr(lge));
        h.Years("All Players");
        h.PressOk(lge);
        QVERIFY(ReadFileBytes(Pyr(lge)) != original);
        h.Option(2);
        h.PressOk(lge);
        ExpectIdle(h);
        QVERIFY(ReadFileBytes(Pyr(lge)) == original);
        QCOMPARE(h.lives, (QStringList{"Loading League", "Saving", "Loading League", "Restoring Pots", "Saving"}));
        QCOMPARE(h.dialogs, (QStringList{kSelectLeague, kSelectLeague}));
        QVERIFY(h.ends.isEmpty() && h.icons.isEmpty());
    }

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

    // A second Hide on a hidden league asks first, Cancel being the default
    // and Escape's answer; going on replaces the saved potentials.
    void aStillHiddenLeagueIsAskedAbout_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("changed");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << "" << false;
        QTest::newRow("Return") << int(Qt::Key_Return) << "" << false;
        QTest::newRow("Hide Anyway") << 0 << "&Hide Anyway" << true;
    }
    void aStillHiddenLeagueIsAskedAbout() {
        QFETCH(int, key);
        QFETCH(QString, answer);
        QFETCH(bool, changed);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        h.Years("Rookies");
        h.PressOk(lge);
        const Bytes pot = ReadFileBytes(Pot(lge));
        h.Years("All Players");
        h.questionKey = key;
        h.questionAnswer = answer;
        h.PressOk(lge);
        ExpectIdle(h);
        QCOMPARE(h.dialogs.size(), 3);
        QVERIFY2(h.dialogs[2].contains("still the ones hidden by Hide"), qPrintable(h.dialogs[2]));
        QCOMPARE(h.defaults, QStringList{"Cancel"});
        QCOMPARE(ReadFileBytes(Pot(lge)) != pot, changed);
        QCOMPARE(h.lives.size(), changed ? 4 : 2);
    }

    // A refusal is a warning and the program goes on; a failure in the
    // operation is "Error" and the end of the program.
    void refusalsAndFailuresAreTold_data() {
        QTest::addColumn<bool>("withPot");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::addColumn<QString>("text");
        QTest::newRow("no .pot") << false << QMessageBox::Warning << "Cannot restore the potentials from";
        QTest::newRow("another league's .pot") << true << QMessageBox::Critical << "Error";
    }
    void refusalsAndFailuresAreTold() {
        QFETCH(bool, withPot);
        QFETCH(QMessageBox::Icon, icon);
        QFETCH(QString, text);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        if (withPot) {
            const fs::path other = gen::WriteLeague(h.leagueDir.path(), "other",
                                                    {gen::Kind::L02, 1, 2, {}, gen::MakePlayers(40, 99), {}});
            h.Years("All Players");
            h.PressOk(other);
            fs::rename(Pot(other), Pot(lge));
            h.dialogs.clear();
            h.lives.clear();
        }
        const Bytes pyr = ReadFileBytes(Pyr(lge));
        h.Option(2);
        h.PressOk(lge);
        ExpectIdle(h);
        QVERIFY2(h.dialogs.value(1).startsWith("Tavrin|" + text), qPrintable(h.dialogs.value(1)));
        QCOMPARE(h.icons, QList<QMessageBox::Icon>{icon});
        QCOMPARE(h.ends, icon == QMessageBox::Critical ? QList<int>{1} : QList<int>{});
        QVERIFY(ReadFileBytes(Pyr(lge)) == pyr);
    }
};

QTEST_MAIN(RunTest)
#include "RunTest.moc"
