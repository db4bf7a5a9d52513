// Whole runs through the main window: OK, the file dialog answered with a
// league of our generator, then the files and the progress window's showings.
// What each step does to the players is the core tests' part; here it is which
// steps run, in which order, and what the user is told.

#include "AppTest.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;

namespace {

const QString kSelectLeague = "Select League|lge (*.lge)";
fs::path Pyr(fs::path lge) { return lge.replace_extension(".pyr"); }
fs::path Pot(fs::path lge) { return lge.replace_extension(".pot"); }

// Players of 49 and 50 years either side of the limit of "All Players".
gen::League League(bool l03 = false) {
    gen::League league{l03 ? gen::Kind::L03 : gen::Kind::L02, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}};
    league.players[0].years = 50;
    league.players[1].years = 49;
    return league;
}

}  // namespace

class RunTest : public QObject {
    Q_OBJECT

    // Idle again with the default pointer; blocked while dialogs were up.
    static void ExpectIdle(Harness& h) {
        QVERIFY(!h.form.isRunning() && h.form.isVisible() && h.Find<QPushButton>("cmdOK")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor() && h.blocked && h.livesWhole);
    }

private slots:
    // Hide keeps the players as loaded beside the league, and so does
    // Randomize; Restore takes them back from there and leaves the copy be.
    void hideRandomizeRestoreBringsBackTheHiddenFile() {
        Harness h;
        gen::League league = League();
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", league);
        h.Years("All Players");  // its limit is the item data 50, not the position 0
        h.PressOk(lge);
        for (gen::Player& player : league.players)
            if (player.years < 50) player.pot.fill(0);
        const Bytes hidden = ReadFileBytes(Pyr(lge));
        QVERIFY(hidden == gen::PlayerFileBytes(league));
        h.Option(1);
        h.PressOk(lge);
        const Bytes pot = ReadFileBytes(Pot(lge));
        QVERIFY(ReadFileBytes(Pyr(lge)) != hidden);
        h.Option(2);
        h.PressOk(lge);
        ExpectIdle(h);
        QVERIFY(ReadFileBytes(Pyr(lge)) == hidden && ReadFileBytes(Pot(lge)) == pot);
        const QStringList save{"Loading League", "Saving"}, restore{"Loading League", "Restoring Pots", "Saving"};
        QCOMPARE(h.lives, save + save + restore);
        QVERIFY(h.ends.isEmpty() && h.icons.isEmpty());
    }

    // A cancelled file dialog; an "L03:" league is only loaded, any other tag
    // not even that.
    void runsThatWriteNothing_data() {
        QTest::addColumn<char>("tag");
        QTest::addColumn<QStringList>("lives");
        QTest::newRow("cancelled") << '2' << QStringList{};
        QTest::newRow("L03") << '3' << QStringList{"Loading League"};
        QTest::newRow("L04") << '4' << QStringList{};
    }
    void runsThatWriteNothing() {
        QFETCH(char, tag);
        QFETCH(QStringList, lives);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League(tag == '3'));
        Bytes tagged = ReadFileBytes(lge);
        tagged[2] = static_cast<unsigned char>(tag);
        WriteFileBytes(lge, tagged);
        WriteFileBytes(Pot(lge), {'o', 'l', 'd'});
        const auto before = Snapshot(h.leagueDir.path());
        h.Years("All Players");
        h.PressOk(tag == '2' ? fs::path() : lge);
        ExpectIdle(h);
        QVERIFY(Snapshot(h.leagueDir.path()) == before && h.ends.isEmpty());
        QCOMPARE(h.lives, lives);
        QCOMPARE(h.dialogs, QStringList{kSelectLeague});
        QCOMPARE(fs::exists(h.state.WorkingDatabasePath()), !lives.isEmpty());
    }

    // Hide with no entry chosen (at the start, or after typing over one) and
    // the failures: Critical ones end the program, the others let it go on.
    void aFailedRunIsAnsweredAndSavesNothing_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::addColumn<QString>("text");  // where it names the player file, the start of the text
        QTest::newRow("no entry") << 0 << "" << QMessageBox::Information << "Select Years";
        QTest::newRow("typed over") << 0 << "Rookie" << QMessageBox::Information << "Select Years";
        QTest::newRow("no copy to restore") << 2 << "" << QMessageBox::Critical << "Error";
        QTest::newRow("read-only") << 0 << "ro" << QMessageBox::Critical << "Saving the league failed";
        QTest::newRow("missing") << 0 << "gone" << QMessageBox::Warning << "";
    }
    void aFailedRunIsAnsweredAndSavesNothing() {
        QFETCH(int, option);
        QFETCH(QString, change);
        QFETCH(QMessageBox::Icon, icon);
        QFETCH(QString, text);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        if (change == "gone") fs::remove(Pyr(lge));
        if (change == "ro") fs::permissions(Pyr(lge), fs::perms::owner_write | fs::perms::group_write |
                                                           fs::perms::others_write, fs::perm_options::remove);
        if (!change.isEmpty()) h.Years(change == "Rookie" ? "Rookies" : "All Players");
        if (change == "Rookie") { h.list->lineEdit()->selectAll(); QTest::keyClicks(h.list->lineEdit(), change); }
        const auto pyr = Snapshot(h.leagueDir.path())["lg.pyr"];
        h.Option(option);
        h.PressOk(lge);
        ExpectIdle(h);
        const QString said = h.dialogs.value(1), pyrName = QString::fromStdU16String(Pyr(lge).u16string());
        QVERIFY2(said.startsWith("Tavrin|" + text) &&
                     said.contains(QDir::toNativeSeparators(pyrName)) == (change == "ro" || change == "gone"),
                 qPrintable(said));
        QCOMPARE(h.icons, QList<QMessageBox::Icon>{icon});
        QCOMPARE(h.ends, icon == QMessageBox::Critical ? QList<int>{1} : QList<int>{});
        QCOMPARE(h.lives, change == "gone" ? QStringList{} : QStringList{"Loading League"});
        // The player file is as it was; only a Hide that got past loading kept a copy.
        QVERIFY(Snapshot(h.leagueDir.path())["lg.pyr"] == pyr);
        QCOMPARE(fs::exists(Pot(lge)), option == 0 && change != "gone");
        QCOMPARE(fs::exists(h.state.WorkingDatabasePath()), change != "gone");
    }
};

QTEST_MAIN(RunTest)
#include "RunTest.moc"
