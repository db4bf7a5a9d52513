// The windows shown in a pseudo-translation made from the build's
// translation template, where every text is itself between "⟦" and "⟧": a
// text of the windows without the marks did not go through tr(). What they
// show of the league (names, numbers, paths), of the game (the ratings'
// codes), of the run core's messages (a run's summary) and of the README
// (the help) is not theirs to translate, nor are Qt's own dialogs.

#include "AppTest.h"
#include "window/AboutBox.h"
#include "window/HelpWindow.h"
#include "window/PlayersModel.h"
#include "window/PlayersWindow.h"
#include "window/Translations.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;

static QString Q(const fs::path& p) { return QString::fromStdU16String(p.u16string()); }

class TranslationTest : public QObject {
    Q_OBJECT

    TempDir translations;
    QStringList untranslated;

    static bool Marked(const QString& text) { return text.contains(QChar(0x27e6)); }
    void Expect(const QString& where, const QString& text) {
        if (!text.trimmed().isEmpty() && !Marked(text)) untranslated << where + ": " + text;
    }

    void ExpectHeaders(const QString& where, const QAbstractItemModel* model) {
        static const QRegularExpression code(QStringLiteral("^[A-Z]{2}$"));  // the game's own
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString title = model->headerData(c, Qt::Horizontal).toString();
            if (!code.match(title).hasMatch()) Expect(where + " header " + QString::number(c), title);
            Expect(where + " header tip " + QString::number(c), model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
        }
    }

    // Every text a window and its parts show, shown or for later.
    void Walk(QWidget* window) {
        const QString name = window->objectName();
        Expect(name + " title", window->windowTitle());
        QList<QWidget*> parts = window->findChildren<QWidget*>();
        parts.prepend(window);
        for (QWidget* w : parts) {
            const QString where = name + "/" + w->objectName() + " (" + w->metaObject()->className() + ")";
            auto* edit = qobject_cast<QLineEdit*>(w);
            if (!edit || w->toolTip() != edit->text()) Expect(where + " tooltip", w->toolTip());  // a path, whole
            Expect(where + " accessible name", w->accessibleName());
            if (auto* label = qobject_cast<QLabel*>(w); label && label->objectName() != "statusLine")
                Expect(where, label->text());
            if (auto* button = qobject_cast<QAbstractButton*>(w)) Expect(where, button->text());
            if (edit) Expect(where + " placeholder", edit->placeholderText());
            if (auto* list = qobject_cast<QComboBox*>(w)) {
                Expect(where, list->currentText());
                for (int i = 0; i < list->count(); ++i) Expect(where + " entry", list->itemText(i));
            }
            if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model() && view->model()->columnCount() > 1)
                ExpectHeaders(where, view->model());
            for (QAction* action : w->actions()) {
                Expect(where + " action", action->text());
                Expect(where + " action tip", action->statusTip());
                if (action->menu()) Walk(action->menu());
            }
        }
    }

private slots:
    // Installed as the program installs a translation: the user's language's
    // file in the folder of translations.
    void initTestCase() {
        QuietOffscreen();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(QFile::copy(QStringLiteral(TAVRIN_PSEUDO_QM), Q(translations.path() / "tavrin_en_US.qm")));
        QVERIFY(tavrin::window::InstallTranslations(Q(translations.path())));
    }

    void everyTextOfTheWindowsIsTranslated() {
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", {gen::Kind::L02, 173, 37, {0x40}, gen::MakePlayers(40, 5), {}});
        h.list->setCurrentIndex(1);  // Rookies
        h.PressOk(lge);
        h.Option(2);
        h.Action("playersAction")->trigger();
        auto* players = h.form.findChild<tavrin::window::PlayersWindow*>("PlayersWindow");
        h.Answering({}, [&] { players->findChild<QPushButton*>("previewButton")->click(); });
        tavrin::window::PlayersModel* model = players->model();
        QVERIFY(model->changed() > 0);
        for (const int column : {int(model->kYears), int(model->kWhose), int(model->kFirstPotential)})
            Expect("Players cell", model->index(0, column).data().toString());
        Walk(&h.form);
        Walk(players);
        players->close();

        h.Action("historyAction")->trigger();
        auto* history = h.form.findChild<QDialog*>("HistoryWindow");
        const QAbstractItemModel* changes = history->findChild<QTableView*>("changes")->model();
        for (int column = 0; column < changes->columnCount(); ++column)
            if (changes->headerData(column, Qt::Horizontal).toString() == QString::fromUtf8("\u27e6Years\u27e7"))
                Expect("History years", changes->index(0, column).data().toString());
        Expect("History potential", changes->index(0, changes->columnCount() - 1).data().toString());
        Walk(history);
        h.questionKey = Qt::Key_Escape;
        h.Answering({}, [&] { history->findChild<QPushButton*>("undoButton")->click(); });
        history->close();

        h.Action("helpAction")->trigger();
        Walk(h.form.findChild<tavrin::window::HelpWindow*>("HelpWindow"));
        QTimer::singleShot(0, this, [&] {
            QTimer::singleShot(50, this, [&] {
                QWidget* about = QApplication::activeModalWidget();
                if (!about) return;
                Walk(about);
                about->close();
            });
        });
        h.Action("aboutAction")->trigger();

        // The progress window's caption as each step ended, the message
        // boxes' titles and questions (the run's own messages are the core's).
        for (const QString& caption : h.lives) Expect("progress window", caption);
        for (const QString& dialog : h.dialogs)
            if (!dialog.startsWith("Select League")) Expect("message box", dialog.section('|', 0, 0) + dialog.section('|', 1));
        for (const QString& text : h.informative) Expect("message box detail", text);
        QVERIFY(!h.dialogs.isEmpty() && !h.lives.isEmpty());
        QVERIFY2(untranslated.isEmpty(), qPrintable("\n" + untranslated.join("\n")));
    }
};

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
