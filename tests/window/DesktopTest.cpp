// What the window does as a desktop application: where its file dialog
// opens, a league given as the argument or dropped, the keyboard, and how a
// run is told.

#include "AppTest.h"
#include "window/AboutBox.h"
#include "run/WorkingFolder.h"
#include "window/ApplicationNames.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;

namespace {

QString Q(const fs::path& p) { return QString::fromStdU16String(p.u16string()); }
QString Folder(const fs::path& p) { return QDir(Q(p)).absolutePath(); }
fs::path League(Harness& h, const char* base = "lg", gen::Kind kind = gen::Kind::L02) {
    return gen::WriteLeague(h.leagueDir.path(), base, {kind, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}});
}

// Drags the URLs onto the window and drops them, answering any message.
void Drop(Harness& h, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(h.form.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(h.form.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.form, &enter);
    QVERIFY(enter.isAccepted());
    h.Answering({}, [&] {
        QApplication::sendEvent(&h.form, &drop);
        QCoreApplication::processEvents();  // the drop is answered once it is over
    });
}

// Opens the About box and reads it: its three paths (or "editable"), its
// title and the license's first line.
QStringList ReadAbout(const std::function<void()>& open) {
    QStringList read;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<tavrin::window::AboutBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (const char* name : {"workingDatabase", "settings", "history"}) {
            auto* field = box->findChild<QLineEdit*>(name);
            read << (field->isReadOnly() ? field->text() : "editable");
        }
        read << box->findChild<QLabel*>("title")->text()
             << box->findChild<QPlainTextEdit*>("license")->toPlainText().section('\n', 0, 0);
        box->reject();
    });
    poll.start(10);
    open();
    return read;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreen(); }

    // First in the folder the run script names; from then on beside the
    // league chosen last, in a later session too, until that folder goes.
    void theFileDialogOpensBesideTheLastLeague() {
        TempDir demo;
        qputenv("TAVRIN_LEAGUE_FOLDER", Q(demo.path()).toUtf8());
        Harness first;
        first.Years("All Players");
        first.PressOk(League(first));
        Harness later;
        later.UseSettingsIn(first.settingsDir.path());
        later.Option(2);
        later.PressOk({});
        fs::remove_all(first.leagueDir.path());
        later.PressOk({});
        QCOMPARE(first.folders + later.folders,
                 (QStringList{Folder(demo.path()) + "|", Folder(first.leagueDir.path()) + "|lg.lge",
                              Folder(demo.path()) + "|"}));
    }

    // A league given as the argument or dropped is named on the status line
    // and run on by OK without the dialog; after that run OK asks again,
    // beside it. The line's button picks another in the meantime.
    void aGivenLeagueIsRunWithoutTheDialog_data() {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("argument") << false;
        QTest::newRow("dropped") << true;
    }
    void aGivenLeagueIsRunWithoutTheDialog() {
        QFETCH(bool, dropped);
        Harness h;
        const fs::path other = League(h, "other"), lge = League(h);
        if (dropped) Drop(h, {QUrl::fromLocalFile(Q(other))});
        else QVERIFY(h.form.UseGivenLeagues({Q(other)}));
        QCOMPARE(h.form.statusText(), QString("OK will run on other.lge"));
        h.Answering(lge, [&] { h.Find<QPushButton>("otherLeagueButton")->click(); });
        QCOMPARE(h.form.statusText(), QString("OK will run on lg.lge"));
        h.Years("All Players");
        h.PressOk({});
        QVERIFY2(h.form.statusText().startsWith("Hid the potentials of 40 of 40 players in lg.pyr"),
                 qPrintable(h.form.statusText()));
        h.PressOk({});
        QCOMPARE(h.folders, (QStringList{Folder(h.leagueDir.path()) + "|other.lge",
                                         Folder(h.leagueDir.path()) + "|lg.lge"}));
        QVERIFY(!fs::exists(fs::path(other).replace_extension(".pot")));
    }

    // Only one league file is taken, checked as the run checks it; anything
    // else is refused with a warning, and the league given before stays.
    void anythingButOneFileIsRefused_data() {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such file") << QStringList{"none.lge"} << "none.lge does not exist.";
        QTest::newRow("a folder") << QStringList{"sub"} << "sub: it is not a regular file.";
        QTest::newRow("two files") << QStringList{"lg.lge", "lg.lge"} << "one league at a time";
        QTest::newRow("remote") << QStringList{"https://example.org/a.lge"} << "it is not a file on this computer.";
    }
    void anythingButOneFileIsRefused() {
        QFETCH(QStringList, given);
        QFETCH(QString, message);
        Harness h;
        fs::create_directory(h.leagueDir / "sub");
        h.form.UseGivenLeagues({Q(League(h))});
        QList<QUrl> urls;
        for (const QString& item : given)
            urls << (item.startsWith("https:") ? QUrl(item) : QUrl::fromLocalFile(Q(h.leagueDir / item.toStdString())));
        Drop(h, urls);
        QVERIFY2(h.dialogs.size() == 1 && h.dialogs[0].startsWith("Tavrin|") && h.dialogs[0].contains(message),
                 qPrintable(h.dialogs.join("\n")));
        QCOMPARE(h.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
        QCOMPARE(h.form.statusText(), QString("OK will run on lg.lge"));
    }

    // Enter presses OK (with no entry chosen: "Select Years") unless a button
    // has the focus; Escape is Cancel from anywhere, and the window closes.
    void enterIsOkAndEscapeIsCancel_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::newRow("Return in the list") << "yearsList" << int(Qt::Key_Return);
        QTest::newRow("keypad Enter on an option") << "operationButton0" << int(Qt::Key_Enter);
        QTest::newRow("Return on Cancel") << "cancelButton" << int(Qt::Key_Return);
        QTest::newRow("Escape in the list") << "yearsList" << int(Qt::Key_Escape);
    }
    void enterIsOkAndEscapeIsCancel() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        Harness h;
        h.Answering({}, [&] { QTest::keyClick(h.Find<QWidget>(focus), static_cast<Qt::Key>(key)); });
        const bool closes = key == Qt::Key_Escape || focus == "cancelButton";
        QCOMPARE(h.form.isVisible(), !closes);
        QCOMPARE(h.dialogs, closes ? QStringList() : QStringList{"Tavrin|Select Years"});
    }

    // F1 and the "?" open the About box: the version, the license, and
    // where the files are, read-only; the history that of the league given,
    // else of the one chosen last.
    void theAboutBoxTellsWhereTheFilesAre() {
        tavrin::window::NameApplication();
        Harness h;
        const auto f1 = [&] {  // a shortcut of the active window
            h.form.activateWindow();
            if (QTest::qWaitForWindowActive(&h.form)) QTest::keyClick(&h.form, Qt::Key_F1);
        };
        const auto native = [](const fs::path& p) { return QDir::toNativeSeparators(Q(p)); };
        const QStringList common{native(h.state.WorkingDatabasePath()), QSettings().fileName()};
        const QString title = "<b>Tavrin " + QCoreApplication::applicationVersion() + "</b>";
        QVERIFY(!QCoreApplication::applicationVersion().isEmpty());

        QStringList read = ReadAbout(f1);
        QCOMPARE(read.mid(0, 3), common + QStringList{""});
        QVERIFY2(read.value(3).startsWith(title) && read.value(4) == "MIT License", qPrintable(read.join('|')));

        h.Years("All Players");
        h.PressOk(League(h));
        read = ReadAbout([&] { h.Find<QPushButton>("aboutButton")->click(); });
        QCOMPARE(read.mid(0, 3), common + QStringList{native(h.leagueDir / "lg.history")});
        h.form.UseGivenLeagues({Q(League(h, "other"))});
        read = ReadAbout(f1);
        QCOMPARE(read.value(2), native(h.leagueDir / "other.history"));
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
