// What the window does as a desktop application: where its file dialog
// opens, a league given as an argument or dropped, the keyboard, and how each
// run is told.

#include "AppTest.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;

namespace {

const QString kSelectLeague = "Select League|lge (*.lge)";
gen::League League(gen::Kind kind = gen::Kind::L02) {
    return {kind, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}};
}
QString Q(const fs::path& p) { return QString::fromStdU16String(p.u16string()); }
QString Folder(const fs::path& p) { return QDir(Q(p)).absolutePath(); }

// Drags the URLs onto the window and drops them there, answering any message.
bool Drop(Harness& h, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = h.form.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.form, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    h.Answering({}, [&] {
        QApplication::sendEvent(&h.form, &drop);
        QCoreApplication::processEvents();
    });
    return enter.isAccepted() && drop.isAccepted();
}

// Restores an environment variable when it goes.
struct EnvGuard {
    explicit EnvGuard(const char* name) : name(name), had(qEnvironmentVariableIsSet(name)), was(qgetenv(name)) {}
    ~EnvGuard() { had ? qputenv(name, was) : qunsetenv(name); }
    const char* name;
    bool had;
    QByteArray was;
};

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreen(); }

    // The documents folder the first time, or the folder the run script
    // names; from then on beside the league chosen last, in a later session
    // too, until that folder goes.
    void theFileDialogOpensBesideTheLastLeague() {
        const EnvGuard home("HOME"), config("XDG_CONFIG_HOME");
        TempDir user, demo;
        fs::create_directory(user / "Documents");
        qputenv("HOME", Q(user.path()).toUtf8());
        qputenv("XDG_CONFIG_HOME", Q(user / ".config").toUtf8());
        Harness first;
        first.Option(2);
        first.PressOk({});
#ifndef Q_OS_WIN  // there the documents folder is the system's, not HOME's
        QCOMPARE(first.folders.value(0), Folder(user / "Documents") + "|");
#endif
        const EnvGuard named("TAVRIN_LEAGUE_FOLDER");
        qputenv("TAVRIN_LEAGUE_FOLDER", Q(demo.path()).toUtf8());
        const fs::path lge = gen::WriteLeague(first.leagueDir.path(), "lg", League());
        first.Option(0);
        first.Years("All Players");
        first.PressOk(lge);
        QCOMPARE(first.folders.value(1), Folder(demo.path()) + "|");
        QVERIFY(first.form.statusText().startsWith("Hid the potentials"));

        Harness later;
        qputenv("TAVRIN_LEAGUE_FOLDER", Q(demo.path()).toUtf8());
        later.UseSettingsIn(first.settingsDir.path());
        later.Option(2);
        later.PressOk({});
        fs::remove_all(first.leagueDir.path());
        later.PressOk({});
        QCOMPARE(later.folders, (QStringList{Folder(first.leagueDir.path()) + "|lg.lge", Folder(demo.path()) + "|"}));
    }

    // A league given as the argument or dropped is named on the status line
    // and run on by OK without the dialog; once done, OK asks again, beside it.
    void aGivenLeagueIsRunWithoutTheDialog_data() {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("argument") << false;
        QTest::newRow("dropped") << true;
    }
    void aGivenLeagueIsRunWithoutTheDialog() {
        QFETCH(bool, dropped);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        const Bytes pyr = ReadFileBytes(fs::path(lge).replace_extension(".pyr"));
        QVERIFY(dropped ? Drop(h, {QUrl::fromLocalFile(Q(lge))}) : h.form.UseGivenLeagues({Q(lge)}));
        QCOMPARE(h.form.givenLeague(), Q(lge));
        QCOMPARE(h.form.statusText(), QString("OK will run on lg.lge"));
        QVERIFY(h.Find<QPushButton>("cmdOtherLeague")->isVisible());
        h.Years("All Players");
        h.PressOk({});
        QCOMPARE(h.dialogs, QStringList());
        QVERIFY(ReadFileBytes(fs::path(lge).replace_extension(".pyr")) != pyr);
        QVERIFY(h.form.givenLeague().isEmpty() && !h.Find<QPushButton>("cmdOtherLeague")->isVisible());
        h.Option(2);
        h.PressOk({});
        QCOMPARE(h.dialogs, QStringList{kSelectLeague});
        QCOMPARE(h.folders, QStringList{Folder(h.leagueDir.path()) + "|lg.lge"});
    }

    // Only one existing file is taken; anything else is refused with a
    // warning, and the league given before stays.
    void anythingButOneFileIsRefused_data() {
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such file") << false << QStringList{"none.lge"} << "none.lge: there is no such file.";
        QTest::newRow("a folder") << true << QStringList{"sub"} << "sub: it is a folder, not a league file.";
        QTest::newRow("two files") << true << QStringList{"lg.lge", "b.lge"} << "one league at a time";
        QTest::newRow("not on this computer") << true << QStringList{"https://example.org/lg.lge"}
                                              << "https://example.org/lg.lge: it is not a file on this computer.";
    }
    void anythingButOneFileIsRefused() {
        QFETCH(bool, dropped);
        QFETCH(QStringList, given);
        QFETCH(QString, message);
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        gen::WriteLeague(h.leagueDir.path(), "b", League());
        fs::create_directory(h.leagueDir / "sub");
        QVERIFY(h.form.UseGivenLeagues({Q(lge)}));
        QList<QUrl> urls;
        QStringList paths;
        for (const QString& item : given) {
            paths << (item.startsWith("https:") ? item : Q(h.leagueDir / item.toStdString()));
            urls << (item.startsWith("https:") ? QUrl(item) : QUrl::fromLocalFile(paths.back()));
        }
        if (dropped) Drop(h, urls);
        else h.Answering({}, [&] { QVERIFY(!h.form.UseGivenLeagues(paths)); });
        QCOMPARE(h.dialogs.size(), 1);
        QVERIFY2(h.dialogs[0].startsWith("Tavrin|") && h.dialogs[0].contains(message), qPrintable(h.dialogs[0]));
        QCOMPARE(h.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
        QCOMPARE(h.form.givenLeague(), Q(lge));
        QCOMPARE(h.form.statusText(), QString("OK will run on lg.lge"));
    }

    // The status line's button opens the dialog beside the league given; what
    // is chosen there is given instead, a cancel keeps it. Alt+A reaches it.
    void anotherLeagueCanBeChosen() {
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League());
        const fs::path other = gen::WriteLeague(h.leagueDir.path(), "other", League());
        h.form.UseGivenLeagues({Q(lge)});
        h.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.form));
        h.Answering(other, [&] {
            QTest::keyClick(&h.form, Qt::Key_A, Qt::AltModifier);  // a button's shortcut clicks a moment later
            QTRY_COMPARE(h.form.givenLeague(), Q(other));
        });
        h.Answering({}, [&] { h.Find<QPushButton>("cmdOtherLeague")->click(); });
        const QString folder = Folder(h.leagueDir.path());
        QCOMPARE(h.folders, (QStringList{folder + "|lg.lge", folder + "|other.lge"}));
        QCOMPARE(h.form.statusText(), QString("OK will run on other.lge"));
    }

    // Enter presses OK (with no entry chosen it says "Select Years") unless a
    // button has the focus; Escape is Cancel from anywhere, ending the program.
    void enterIsOkAndEscapeIsCancel_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return in the list") << "cboYears" << int(Qt::Key_Return) << false;
        QTest::newRow("keypad Enter on an option") << "optPots0" << int(Qt::Key_Enter) << false;
        QTest::newRow("Return on OK") << "cmdOK" << int(Qt::Key_Return) << false;
        QTest::newRow("Return on Cancel") << "cmdCancel" << int(Qt::Key_Return) << true;
        QTest::newRow("Escape in the list") << "cboYears" << int(Qt::Key_Escape) << true;
        QTest::newRow("Escape on OK") << "cmdOK" << int(Qt::Key_Escape) << true;
    }
    void enterIsOkAndEscapeIsCancel() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, closes);
        Harness h;
        QWidget* control = h.Find<QWidget>(focus);
        h.Answering({}, [&] { QTest::keyClick(control, static_cast<Qt::Key>(key)); });
        QCOMPARE(h.form.isVisible(), !closes);
        QCOMPARE(h.dialogs, closes ? QStringList() : QStringList{"Tavrin|Select Years"});
    }

    // A finished run says what it did on the status line; a league of a tag
    // Tavrin does not know is told in a message naming the file and the tag,
    // and nothing changes; a run not gone on with says so.
    void eachRunIsTold_data() {
        QTest::addColumn<QString>("league");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("Hide") << "L02"
                              << "^Hid the potentials of \\d+ of 40 players in lg.pyr; true potentials saved in lg.pot$"
                              << "";
        QTest::newRow("L03") << "L03" << "^Loaded the 40 players of lg.pyr \\(a league of the L03 format" << "";
        QTest::newRow("unknown tag") << "XYZ!" << "^$"
                                     << "lg.lge is not a league Tavrin knows: its header begins with \"XYZ!\"";
        QTest::newRow("not gone on") << "again" << "^Nothing was changed.$" << "";
    }
    void eachRunIsTold() {
        QFETCH(QString, league);
        QFETCH(QString, status);
        QFETCH(QString, message);
        Harness h;
        const gen::Kind kind = league == "L03" ? gen::Kind::L03 : gen::Kind::L02;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", League(kind));
        if (league == "XYZ!") {
            Bytes bytes = ReadFileBytes(lge);
            std::copy_n("XYZ!", 4, bytes.begin());
            WriteFileBytes(lge, bytes);
        }
        h.Years("All Players");
        if (league == "again") h.PressOk(lge);
        const auto before = Snapshot(h.leagueDir.path());
        h.dialogs.clear();
        h.PressOk(lge);
        QVERIFY2(QRegularExpression(status).match(h.form.statusText()).hasMatch(), qPrintable(h.form.statusText()));
        QCOMPARE(h.icons.contains(QMessageBox::Information), !message.isEmpty());
        if (message.isEmpty()) return;
        QVERIFY2(h.dialogs.value(1).startsWith("Tavrin|" + Folder(h.leagueDir.path())) &&
                     h.dialogs.value(1).contains(message), qPrintable(h.dialogs.value(1)));
        QVERIFY(Snapshot(h.leagueDir.path()) == before);
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
