// Whole runs through the main window: OK, the file dialog answered with a
// league of our generator, the run, then the files and the progress window's
// lives as the user would have seen them.

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"

using namespace tavrin::apptest;
using tavrin::test::ReadFileBytes;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr std::size_t kPlayers = 40;

const QString kLoading = "Updating: Loading League";
const QString kSaving = "Updating: Saving";
const QString kRestoring = "Updating: Restoring Pots";

std::filesystem::path Pyr(const std::filesystem::path& lge) { return std::filesystem::path(lge).replace_extension(".pyr"); }
std::filesystem::path Pot(const std::filesystem::path& lge) { return std::filesystem::path(lge).replace_extension(".pot"); }

}  // namespace

#define QVERIFY_SAME_BYTES(got, want)                                   \
    do {                                                                \
        const QString difference_ = Difference((got), (want));          \
        QVERIFY2(difference_.isEmpty(), qPrintable(difference_));       \
    } while (false)

class RunTest : public QObject {
    Q_OBJECT

private:
    // Checks that a run ended quietly: no message, no end of the program, the
    // window idle again and the pointer back to normal.
    static void ExpectQuietEnd(const Harness& h) {
        QVERIFY2(h.unanswered.isEmpty(), qPrintable(h.unanswered.join("; ")));
        QVERIFY(h.MessageBoxes().isEmpty());
        QVERIFY(h.endCodes.isEmpty());
        QVERIFY(!h.form->isRunning());
        QVERIFY(h.cmdOK()->isEnabled());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // Each life of the progress window started from a fresh window with the
    // hourglass, and ended with its step's text and the bar in (0, 100].
    static void ExpectLives(const Harness& h, const QStringList& texts) {
        QCOMPARE(h.recorder->labelsAtEnd(), texts);
        for (const Life& life : h.recorder->lives) {
            QCOMPARE(life.labelAtShow, QString("Updating: Quarterbacks"));
            QVERIFY(life.valueAtShow == 0.0f);
            QVERIFY(life.hourglassAtShow);
            QVERIFY(life.valueAtEnd > 90.0f);
            QVERIFY(life.valueAtEnd <= 100.0f);
        }
    }

private slots:
    void initTestCase() { InstallMessageFilter(); }

    void hideGivesTheEntrysLimit_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("limit");
        QTest::newRow("All Players") << "All Players" << 50;
        QTest::newRow("Rookies") << "Rookies" << 1;
        QTest::newRow("3 yr and less") << "3 yr and less" << 4;
        QTest::newRow("8 yr and less") << "8 yr and less" << 9;
    }

    void hideGivesTheEntrysLimit() {
        QFETCH(QString, entry);
        QFETCH(int, limit);
        Harness h;
        const auto league = MakeLeague(kPlayers, 7);
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", league);
        const Bytes lgeBefore = ReadFileBytes(lge);
        h.ChooseYears(entry);

        h.PressOk(lge);

        ExpectQuietEnd(h);
        // The potentials of the players below the limit are 0; every other
        // byte of the player file is as it was.
        QVERIFY_SAME_BYTES(ReadFileBytes(Pyr(lge)), tavrin::gen::PlayerFileBytes(Hidden(league, limit)));
        QVERIFY(ReadFileBytes(lge) == lgeBefore);
        // The copy beside the league holds the players as loaded.
        QCOMPARE(CountPlayers(Pot(lge)), static_cast<std::int64_t>(kPlayers));
        const auto& rookie = league.players[0];
        QCOMPARE(PlayerColumn(Pot(lge), rookie.pidA, rookie.pidB, "Pot_SP"), std::int64_t{rookie.pot[0]});
        QCOMPARE(PlayerColumn(h.state.WorkingDatabasePath(), rookie.pidA, rookie.pidB, "Pot_SP"), std::int64_t{0});
        ExpectLives(h, {kLoading, kSaving});
        // One dialog, the file dialog, and the window blocked meanwhile.
        QCOMPARE(h.dialogs.size(), 1);
        QVERIFY(h.dialogs[0].windowBlocked);
    }

    void hideThenRestoreGivesBackTheOldFile() {
        Harness h;
        const auto league = MakeLeague(kPlayers, 11);
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", league);
        const Bytes original = ReadFileBytes(Pyr(lge));

        h.ChooseYears("Rookies");
        h.PressOk(lge);
        QVERIFY_SAME_BYTES(ReadFileBytes(Pyr(lge)), tavrin::gen::PlayerFileBytes(Hidden(league, 1)));
        const Bytes pot = ReadFileBytes(Pot(lge));

        h.ChooseOperation(2);
        h.recorder->lives.clear();
        h.PressOk(lge);

        ExpectQuietEnd(h);
        QVERIFY_SAME_BYTES(ReadFileBytes(Pyr(lge)), original);
        QVERIFY(ReadFileBytes(Pot(lge)) == pot);  // Restore only reads the copy
        ExpectLives(h, {kLoading, kRestoring, kSaving});
        // Afterwards the list follows the option: disabled under Restore.
        QVERIFY(!h.cboYears()->isEnabled());
    }

    void hideRandomizeRestoreBringsBackTheHiddenValues() {
        Harness h({0.0f, 0.999f, 0.5f, 0.25f});
        const auto league = MakeLeague(kPlayers, 13);
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", league);

        h.ChooseYears("2 yr and less");
        h.PressOk(lge);
        const Bytes hidden = ReadFileBytes(Pyr(lge));

        h.ChooseOperation(1);
        h.recorder->lives.clear();
        h.PressOk(lge);
        QVERIFY(ReadFileBytes(Pyr(lge)) != hidden);
        ExpectLives(h, {kLoading, kSaving});

        h.ChooseOperation(2);
        h.PressOk(lge);
        ExpectQuietEnd(h);
        QVERIFY_SAME_BYTES(ReadFileBytes(Pyr(lge)), hidden);
    }

    void restoreTwiceGivesTheSameFiles() {
        Harness h;
        const auto league = MakeLeague(kPlayers, 17);
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", league);
        h.ChooseYears("All Players");
        h.PressOk(lge);

        h.ChooseOperation(2);
        h.PressOk(lge);
        const Bytes firstPyr = ReadFileBytes(Pyr(lge));
        const Bytes firstPot = ReadFileBytes(Pot(lge));
        h.PressOk(lge);

        ExpectQuietEnd(h);
        QVERIFY_SAME_BYTES(ReadFileBytes(Pyr(lge)), firstPyr);
        QVERIFY(ReadFileBytes(Pot(lge)) == firstPot);
        QVERIFY_SAME_BYTES(firstPyr, tavrin::gen::PlayerFileBytes(league));
    }

    void anL03LeagueIsOnlyLoaded() {
        Harness h;
        const auto league = MakeLeague(kPlayers, 19, tavrin::gen::Kind::L03);
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", league);
        tavrin::test::WriteFileBytes(Pot(lge), {'o', 'l', 'd'});
        const auto before = Snapshot(h.leagueDir.path());
        h.ChooseYears("All Players");

        h.PressOk(lge);

        ExpectQuietEnd(h);
        QCOMPARE(h.state.iLeagueVersion, std::int16_t{tavrin::kLeagueL03});
        QVERIFY(Snapshot(h.leagueDir.path()) == before);
        QCOMPARE(CountPlayers(h.state.WorkingDatabasePath()), static_cast<std::int64_t>(kPlayers));
        const auto& p = league.players[5];
        QCOMPARE(PlayerColumn(h.state.WorkingDatabasePath(), p.pidA, p.pidB, "Height"), std::int64_t{p.l03Extra[0]});
        QCOMPARE(PlayerColumn(h.state.WorkingDatabasePath(), p.pidA, p.pidB, "Pot_AC"), std::int64_t{p.pot[1]});
        ExpectLives(h, {kLoading});
    }

    void anUnknownTagChangesNothing() {
        Harness h;
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(kPlayers, 23));
        Bytes lgeBytes = ReadFileBytes(lge);
        lgeBytes[2] = '4';  // "L04:"
        tavrin::test::WriteFileBytes(lge, lgeBytes);
        const auto before = Snapshot(h.leagueDir.path());
        h.ChooseYears("All Players");

        h.PressOk(lge);

        ExpectQuietEnd(h);
        QCOMPARE(h.state.iLeagueVersion, std::int16_t{tavrin::kLeagueOther});
        QVERIFY(Snapshot(h.leagueDir.path()) == before);
        QVERIFY(Snapshot(h.appDir.path()).empty());
        QVERIFY(h.recorder->lives.isEmpty());
    }

    void noEntryChosenIsAnsweredSelectYears_data() {
        QTest::addColumn<bool>("typedOver");
        QTest::newRow("list as at start") << false;
        QTest::newRow("entry typed over") << true;
    }

    void noEntryChosenIsAnsweredSelectYears() {
        QFETCH(bool, typedOver);
        Harness h;
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(kPlayers, 29));
        const Bytes pyr = ReadFileBytes(Pyr(lge));
        if (typedOver) {
            h.ChooseYears("Rookies");
            h.cboYears()->lineEdit()->selectAll();
            QTest::keyClicks(h.cboYears()->lineEdit(), "Rookie");
        }

        h.PressOk(lge);

        QVERIFY2(h.unanswered.isEmpty(), qPrintable(h.unanswered.join("; ")));
        const auto boxes = h.MessageBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QString("Select Years"));
        QCOMPARE(boxes[0].title, QString("Tavrin"));
        QVERIFY(boxes[0].windowBlocked);
        // The run ends there: no operation, no save; the program goes on.
        QVERIFY(h.endCodes.isEmpty());
        QVERIFY(ReadFileBytes(Pyr(lge)) == pyr);
        ExpectLives(h, {kLoading});
        QVERIFY(!h.form->isRunning());
        QVERIFY(h.cboYears()->isEnabled());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void anOperationThatFailsIsAnsweredErrorAndEndsTheProgram() {
        // Restore with no saved copy beside the league.
        Harness h;
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(kPlayers, 31));
        const auto before = Snapshot(h.leagueDir.path());
        h.ChooseOperation(2);

        h.PressOk(lge);

        QVERIFY2(h.unanswered.isEmpty(), qPrintable(h.unanswered.join("; ")));
        const auto boxes = h.MessageBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QString("Error"));
        QCOMPARE(boxes[0].title, QString("Tavrin"));
        QCOMPARE(h.endCodes, QList<int>{1});
        // Not saved, and no empty copy appeared.
        QVERIFY(Snapshot(h.leagueDir.path()) == before);
        ExpectLives(h, {kLoading});
    }

    void aFailureOutsideTheOperationNamesFileAndReasonAndEndsTheProgram_data() {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<QString>("step");
        QTest::newRow("read-only player file") << "pyr" << "Saving the league failed";
        QTest::newRow("a folder where the copy goes") << "pot" << "Keeping a copy of the potentials failed";
    }

    void aFailureOutsideTheOperationNamesFileAndReasonAndEndsTheProgram() {
        QFETCH(QString, broken);
        QFETCH(QString, step);
        Harness h;
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(kPlayers, 37));
        const auto brokenPath = broken == "pyr" ? Pyr(lge) : Pot(lge);
        if (broken == "pyr")
            std::filesystem::permissions(brokenPath, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                         std::filesystem::perms::others_write,
                                         std::filesystem::perm_options::remove);
        else
            std::filesystem::create_directory(brokenPath);
        const Bytes pyr = ReadFileBytes(Pyr(lge));
        h.ChooseYears("All Players");

        h.PressOk(lge);

        QVERIFY2(h.unanswered.isEmpty(), qPrintable(h.unanswered.join("; ")));
        const auto boxes = h.MessageBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].title, QString("Tavrin"));
        QVERIFY2(boxes[0].text.startsWith(step), qPrintable(boxes[0].text));
        QVERIFY2(boxes[0].text.contains(QDir::toNativeSeparators(ToQString(brokenPath))), qPrintable(boxes[0].text));
        QCOMPARE(h.endCodes, QList<int>{1});
        QVERIFY(ReadFileBytes(Pyr(lge)) == pyr);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void aMissingOrShortPlayerFileIsRefusedAndTheProgramStaysOpen_data() {
        QTest::addColumn<int>("playerFileBytes");  // -1: no player file
        QTest::newRow("missing") << -1;
        QTest::newRow("shorter than its header") << 50;
    }

    void aMissingOrShortPlayerFileIsRefusedAndTheProgramStaysOpen() {
        QFETCH(int, playerFileBytes);
        Harness h;
        const auto lge = tavrin::gen::WriteLeague(h.leagueDir.path(), "lg", MakeLeague(kPlayers, 41));
        std::filesystem::remove(Pyr(lge));
        if (playerFileBytes >= 0) tavrin::test::WriteFileBytes(Pyr(lge), Bytes(static_cast<std::size_t>(playerFileBytes), 7));
        const auto before = Snapshot(h.leagueDir.path());
        h.ChooseYears("Rookies");

        h.PressOk(lge);

        QVERIFY2(h.unanswered.isEmpty(), qPrintable(h.unanswered.join("; ")));
        const auto boxes = h.MessageBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].title, QString("Tavrin"));
        QVERIFY2(boxes[0].text.contains(QDir::toNativeSeparators(ToQString(Pyr(lge)))), qPrintable(boxes[0].text));
        QVERIFY(h.endCodes.isEmpty());
        QVERIFY(h.form->isVisible());
        QVERIFY(h.cmdOK()->isEnabled());
        QVERIFY(Snapshot(h.leagueDir.path()) == before);
        QVERIFY(Snapshot(h.appDir.path()).empty());  // no Temp.mdb either
        QVERIFY(h.recorder->lives.isEmpty());
    }
};

QTEST_MAIN(RunTest)
#include "RunTest.moc"
