// Whole runs through the main window: OK, the file dialog answered with a
// league of our generator, then the files and the progress window's showings.

#include <map>

#include "AppTest.h"
#include "LeagueGenerator.h"

using namespace tavrin::apptest;
using tavrin::test::ReadFileBytes;
namespace fs = std::filesystem;
namespace gen = tavrin::gen;
using Bytes = std::vector<unsigned char>;

namespace {

const QString kSelectLeague = "Select League|lge (*.lge)";
const QStringList kLoadSave{"Loading League", "Saving"};
fs::path Pyr(fs::path lge) { return lge.replace_extension(".pyr"); }
fs::path Pot(fs::path lge) { return lge.replace_extension(".pot"); }

// The first players have the years 0, 0, 1, 3, 4, 8, 9, 49, 50, so that every
// limit of the list meets players on both sides of it.
gen::League MakeLeague(bool l03 = false) {
    gen::League league{l03 ? gen::Kind::L03 : gen::Kind::L02, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}};
    const int years[] = {0, 0, 1, 3, 4, 8, 9, 49, 50};
    for (int i = 0; i < 9; ++i) league.players[i].years = static_cast<std::uint8_t>(years[i]);
    return league;
}

gen::League Hidden(gen::League league, int limit) {
    for (gen::Player& player : league.players)
        if (player.years < limit) player.pot.fill(0);
    return league;
}

std::map<std::string, Bytes> Snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& file : fs::directory_iterator(dir)) files[file.path().filename().string()] = ReadFileBytes(file);
    return files;
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
    void aCancelledFileDialogTouchesNothing() {
        Harness h;
        gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague());
        const auto before = Snapshot(h.leagueDir.path());
        h.PressOk("");
        ExpectIdle(h);
        QCOMPARE(h.dialogs, QStringList{kSelectLeague});
        QVERIFY(Snapshot(h.leagueDir.path()) == before && Snapshot(h.appDir.path()).empty());
        QVERIFY(h.lives.isEmpty() && h.ends.isEmpty());
    }

    void hideThenRestoreGivesBackTheFile_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("limit");
        QTest::newRow("Rookies") << "Rookies" << 1;
        QTest::newRow("All Players") << "All Players" << 50;
    }
    void hideThenRestoreGivesBackTheFile() {
        QFETCH(QString, entry);
        QFETCH(int, limit);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague());
        const Bytes original = ReadFileBytes(Pyr(lge));
        h.Years(entry);
        h.PressOk(lge);
        QVERIFY(ReadFileBytes(Pyr(lge)) == gen::PlayerFileBytes(Hidden(MakeLeague(), limit)));
        const Bytes pot = ReadFileBytes(Pot(lge));
        QCOMPARE(h.lives, kLoadSave);
        h.Option(2);
        h.PressOk(lge);
        ExpectIdle(h);
        QVERIFY(ReadFileBytes(Pyr(lge)) == original && ReadFileBytes(Pot(lge)) == pot);
        QCOMPARE(h.lives, kLoadSave + QStringList({"Loading League", "Restoring Pots", "Saving"}));
        QVERIFY(h.ends.isEmpty() && h.icons.isEmpty());
    }

    void hideRandomizeRestoreBringsBackTheHiddenValues() {
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague());
        h.Years("2 yr and less");
        h.PressOk(lge);
        const Bytes hidden = ReadFileBytes(Pyr(lge));
        h.Option(1);
        h.PressOk(lge);
        QVERIFY(ReadFileBytes(Pyr(lge)) != hidden);
        h.Option(2);
        h.PressOk(lge);
        ExpectIdle(h);
        QVERIFY(ReadFileBytes(Pyr(lge)) == hidden);
    }

    void aLeagueTaggedOtherThanL02IsNeverWritten_data() {
        QTest::addColumn<char>("tag");
        QTest::addColumn<QStringList>("lives");
        QTest::newRow("L03: loaded only") << '3' << QStringList{"Loading League"};
        QTest::newRow("L04: not a league") << '4' << QStringList{};
    }
    void aLeagueTaggedOtherThanL02IsNeverWritten() {
        QFETCH(char, tag);
        QFETCH(QStringList, lives);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(tag == '3'));
        Bytes tagged = ReadFileBytes(lge);
        tagged[2] = static_cast<unsigned char>(tag);
        tavrin::test::WriteFileBytes(lge, tagged);
        tavrin::test::WriteFileBytes(Pot(lge), {'o', 'l', 'd'});
        const auto before = Snapshot(h.leagueDir.path());
        h.Years("All Players");
        h.PressOk(lge);
        ExpectIdle(h);
        QVERIFY(Snapshot(h.leagueDir.path()) == before);
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
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague());
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
