// The History window on the screen it opens on. CTest runs these checks on a
// screen of 1280 by 1024 pixels at scale 1 and at QT_SCALE_FACTOR=2, where
// the window has 640 by 512 of Qt's pixels to live in.

#include "AppTest.h"
#include "window/HistoryWindow.h"
#include "window/Texts.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;

class HistoryWindowTest : public QObject {
    Q_OBJECT

    // A league of 1,100 players hidden and then randomized by the window;
    // the last player has the widest name, 1 year, the first none.
    static QDialog* Open(Harness& h) {
        gen::League league{gen::Kind::L02, 173, 37, {0x40}, gen::MakePlayers(1100, 3), {}};
        league.players.back().firstName = league.players.back().lastName = "WWWWWWWWWWWWW";
        league.players.back().years = 1;
        league.players.front().years = 0;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", league);
        h.Years("All Players");
        h.PressOk(lge);
        h.Option(1);
        h.PressOk(lge);
        h.Action("historyAction")->trigger();
        auto* window = h.form.findChild<QDialog*>("HistoryWindow");
        window->findChild<QTreeWidget*>("runs")->setCurrentItem(
            window->findChild<QTreeWidget*>("runs")->topLevelItem(1));  // the Hide: every player changed
        QCoreApplication::processEvents();
        return window;
    }

private slots:
    void initTestCase() { QuietOffscreen(); }

    // The whole window, its buttons included, inside the screen's free area.
    void fitsTheScreen() {
        Harness h;
        QDialog* window = Open(h);
        const int scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariableIntValue("QT_SCALE_FACTOR") : 1;
        QCOMPARE(window->screen()->geometry().size(), QSize(1280, 1024) / scale);
        const QRect area = window->screen()->availableGeometry();
        QVERIFY2(area.contains(window->frameGeometry()),
                 qPrintable(QString("%1x%2 on %3x%4").arg(window->width()).arg(window->height()).arg(area.width()).arg(area.height())));
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            const QRect place(button->mapTo(window, QPoint()), button->size());
            QVERIFY2(window->rect().contains(place), qPrintable(button->text()));
        }
        window->close();
    }

    // Every name whole, however far down the list; "1 yr" and "0 yrs"; each
    // potential's code explained by its tooltip and by the legend.
    void namesWholeYearsSpokenCodesExplained() {
        Harness h;
        QDialog* window = Open(h);
        auto* view = window->findChild<QTableView*>("changes");
        QAbstractItemModel* model = view->model();
        QCOMPARE(model->rowCount(), 1100);
        int nameColumn = -1;
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal).toString() == "Name") nameColumn = c;
        QVERIFY(nameColumn >= 0);
        const QModelIndex last = model->index(1099, nameColumn);
        QCOMPARE(last.data().toString(), QString("WWWWWWWWWWWWW WWWWWWWWWWWWW"));
        QVERIFY(view->columnWidth(nameColumn) > view->fontMetrics().horizontalAdvance(last.data().toString()));
        QCOMPARE(model->index(1099, nameColumn + 1).data().toString(), QString("1 yr"));
        QCOMPARE(model->index(0, nameColumn + 1).data().toString(), QString("0 yrs"));
        QStringList codes;
        for (int c = nameColumn + 2; c < model->columnCount(); ++c)
            codes << model->headerData(c, Qt::Horizontal).toString() + " " +
                         model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().section(' ', 0, 0);
        QCOMPARE(codes, (QStringList{"SP Speed", "AC Acceleration", "AG Agility", "ST Strength", "HA Hands", "EN Endurance",
                                     "IN Intelligence", "DI Discipline"}));
        QVERIFY(window->findChild<QLabel*>("legend")->text().contains(tavrin::window::AttributeLegend()));
        window->close();
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
