// What the window does as a desktop application: where its file dialog
// opens, a league given as the argument or dropped, the keyboard, and how a
// run is told.

#include "AppTest.h"
#include "window/AboutBox.h"
#include "window/HelpWindow.h"
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

    // Help > About Tavrin opens the About box: the version, the license,
    // and where the files are, read-only; the history that of the league
    // given, else of the one chosen last.
    void theAboutBoxTellsWhereTheFilesAre() {
        tavrin::window::NameApplication();
        Harness h;
        const auto about = [&] { h.Action("aboutAction")->trigger(); };
        const auto native = [](const fs::path& p) { return QDir::toNativeSeparators(Q(p)); };
        const QStringList common{native(h.state.WorkingDatabasePath()), QSettings().fileName()};
        const QString title = "<b>Tavrin " + QCoreApplication::applicationVersion() + "</b>";
        QVERIFY(!QCoreApplication::applicationVersion().isEmpty());

        QStringList read = ReadAbout(about);
        QCOMPARE(read.mid(0, 3), common + QStringList{""});
        QVERIFY2(read.value(3).startsWith(title) && read.value(4) == "MIT License", qPrintable(read.join('|')));

        h.Years("All Players");
        h.PressOk(League(h));
        read = ReadAbout(about);
        QCOMPARE(read.mid(0, 3), common + QStringList{native(h.leagueDir / "lg.history")});
        h.form.UseGivenLeagues({Q(League(h, "other"))});
        read = ReadAbout(about);
        QCOMPARE(read.value(2), native(h.leagueDir / "other.history"));
    }

    // F1 (a key of the active window) and the "?" open one help window,
    // whose text is the README's sections for users.
    void f1AndTheQuestionMarkOpenTheHelp() {
        Harness h;
        h.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.form));
        QTest::keyClick(&h.form, Qt::Key_F1);
        auto* help = h.form.findChild<tavrin::window::HelpWindow*>("HelpWindow");
        QVERIFY(help && help->isVisible() && help->windowTitle() == "Tavrin Help");
        const QString text = help->browser()->toPlainText();
        for (const char* part : {"Hide Pots sets every potential to 0", "The window", "Players", "Your league is never lost"})
            QVERIFY2(text.contains(part), part);
        QVERIFY(!text.contains("<!--") && !text.contains("## Install it") && !text.contains("Install it"));
        help->close();
        QCoreApplication::processEvents();
        h.Find<QPushButton>("helpButton")->click();
        QCOMPARE(h.form.findChildren<tavrin::window::HelpWindow*>().size(), 1);
    }

    // League > Open… makes the chosen league the one OK runs on; Open Recent
    // lists the last eight leagues chosen or given, newest first, in a later
    // session too, and an entry is taken as a given league.
    void openAndOpenRecent() {
        Harness h;
        std::vector<fs::path> leagues;
        for (int i = 0; i < 9; ++i) leagues.push_back(League(h, ("l" + std::to_string(i)).c_str()));
        h.Answering(leagues[0], [&] { h.Action("openAction")->trigger(); });
        QCOMPARE(h.form.givenLeague(), Q(leagues[0]));
        for (std::size_t i = 1; i < leagues.size(); ++i) QVERIFY(h.form.UseGivenLeagues({Q(leagues[i])}));
        QVERIFY(h.form.UseGivenLeagues({Q(leagues[4])}));  // again: on top, once

        Harness later;
        later.UseSettingsIn(h.settingsDir.path());
        auto* recent = later.Find<QMenu>("recentMenu");
        emit recent->aboutToShow();
        QStringList listed;
        for (QAction* entry : recent->actions())
            if (!entry->isSeparator()) listed << entry->text();
        QStringList expected;
        int n = 0;
        for (const int i : {4, 8, 7, 6, 5, 3, 2, 1})
            expected << QString("&%1 %2").arg(++n).arg(QDir::toNativeSeparators(Q(leagues[static_cast<std::size_t>(i)])));
        QCOMPARE(listed, expected + QStringList{"&Clear List"});
        recent->actions().at(2)->trigger();
        QCOMPARE(later.form.givenLeague(), Q(leagues[7]));
        QCOMPARE(later.form.statusText(), QString("OK will run on l7.lge"));
    }

    // With fonts twice as large and a league given (the line under the
    // frame then holds four parts), the window at its smallest still shows
    // every control whole, inside it, overlapping none.
    void largeFontsLayOutWhole() {
        const QFont normal = QApplication::font();
        QFont large = normal;
        large.setPointSizeF(normal.pointSizeF() * 2);
        QApplication::setFont(large);
        {
            Harness h;
            QVERIFY(h.form.UseGivenLeagues({Q(League(h))}));
            h.form.resize(0, 0);
            QCoreApplication::processEvents();
            QList<QRect> places;
            for (const char* name : {"okButton", "cancelButton", "operationButton0", "operationButton1", "operationButton2",
                                     "yearsList", "yearsLabel", "statusLine", "otherLeagueButton", "historyButton", "helpButton"}) {
                auto* w = h.Find<QWidget>(name);
                const QRect place(w->mapTo(&h.form, QPoint()), w->size());
                const bool whole = w->width() >= w->minimumSizeHint().width() || w->minimumSize() == w->maximumSize();
                QVERIFY2(w->isVisible() && h.form.rect().contains(place) && whole, name);
                for (const QRect& other : places) QVERIFY2(!other.intersects(place), name);
                places << place;
            }
            auto* line = h.Find<QLabel>("statusLine");
            QVERIFY(line->height() >= line->heightForWidth(line->width()));
            if (qEnvironmentVariableIsSet("TAVRIN_TEST_SHOTS")) h.form.grab().save(qEnvironmentVariable("TAVRIN_TEST_SHOTS") + "/large.png");
        }
        QApplication::setFont(normal);
    }

    // The summary of a run is shown whole however narrow the window: the
    // line wraps, the window makes room for it, and it can be selected.
    void theSummaryIsShownWhole() {
        Harness h;
        const fs::path lge = League(h);
        h.Years("Rookies");
        h.PressOk(lge);
        h.Years("All Players");
        h.PressOk(lge);  // "…, starting from the true potentials of … saved by Hide on …"
        auto* line = h.Find<QLabel>("statusLine");
        QVERIFY2(h.form.statusText().contains("starting from the true potentials"), qPrintable(h.form.statusText()));
        QCOMPARE(line->text(), h.form.statusText());
        QVERIFY(line->wordWrap() && (line->textInteractionFlags() & Qt::TextSelectableByMouse));
        for (const int width : {2000, 0}) {
            h.form.resize(width, h.form.minimumHeight());
            QCoreApplication::processEvents();
            const QRect place(line->mapTo(&h.form, QPoint()), line->size());
            QVERIFY2(line->height() >= line->heightForWidth(line->width()) && h.form.rect().contains(place),
                     qPrintable(QString("%1: %2 high for %3").arg(width).arg(line->height()).arg(line->heightForWidth(line->width()))));
        }
        QVERIFY(line->height() > 2 * line->fontMetrics().height());  // wrapped at the narrowest
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
