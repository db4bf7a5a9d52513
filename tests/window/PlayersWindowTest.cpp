// The Players window over leagues of our generator: its table is the report
// `tavrin show` prints, it sorts by any column and filters by name, and its
// preview marks exactly the players a dry run of the run core changes,
// writing nothing.

#include <QCollator>

#include "AppTest.h"
#include "run/LeagueReport.h"
#include "window/PlayersModel.h"
#include "window/PlayersWindow.h"
#include "window/Texts.h"

using namespace tavrin::apptest;
using namespace tavrin::test;
namespace gen = tavrin::gen;
using tavrin::window::PlayersModel;
using tavrin::window::PlayersWindow;

namespace {

QString Q(const fs::path& p) { return QString::fromStdU16String(p.u16string()); }

// A league of 120 players whose rookies were hidden by a run of the window.
fs::path HiddenRookies(Harness& h) {
    const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", {gen::Kind::L02, 173, 37, {0x40}, gen::MakePlayers(120, 5), {}});
    h.Years("Rookies");
    h.PressOk(lge);
    return lge;
}

PlayersWindow* Open(Harness& h) {
    h.Action("playersAction")->trigger();
    return h.form.findChild<PlayersWindow*>("PlayersWindow");
}

std::vector<tavrin::run::ReportedPlayer> Report(const fs::path& lge) {
    std::vector<tavrin::run::ReportedPlayer> players;
    tavrin::run::ReportLeague(lge, [&](const tavrin::run::ReportedPlayer& p) { players.push_back(p); });
    return players;
}

QVariant Cell(PlayersModel* model, int row, int column, int role = Qt::DisplayRole) {
    return model->data(model->index(row, column), role);
}

}  // namespace

class PlayersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreen(); }

    // Every player of the report, cell by cell, in slot order.
    void theTableIsTheLeaguesReport() {
        Harness h;
        const fs::path lge = HiddenRookies(h);
        PlayersWindow* window = Open(h);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Players of lg.lge"));
        PlayersModel* model = window->model();
        const auto report = Report(lge);
        QCOMPARE(model->rowCount(), static_cast<int>(report.size()));
        int hidden = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            const auto& p = report[static_cast<std::size_t>(row)];
            QStringList cells, expected;
            for (int c = 0; c < PlayersModel::kColumns; ++c) cells << Cell(model, row, c).toString();
            expected << QString::number(p.slot) << QString("%1/%2").arg(p.pidA).arg(p.pidB)
                     << QString::fromStdString(p.firstName) << QString::fromStdString(p.lastName)
                     << QString::number(p.position) << tavrin::window::YearsText(p.years);
            for (const int v : p.act) expected << QString::number(v);
            for (const int v : p.pot) expected << QString::number(v);
            expected << QString::fromUtf8(tavrin::run::kWhoseWords[static_cast<std::size_t>(p.potentials)].data());
            QCOMPARE(cells, expected);
            hidden += p.potentials == tavrin::run::Whose::Hidden;
        }
        QVERIFY(hidden > 0);
        QCOMPARE(window->findChild<QLabel*>("count")->text(), QString("120 players"));
    }

    // A click on a header sorts by its column, a second reverses it; equal
    // values stay in slot order, and the selected player stays selected.
    void sortsByAnyColumn_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("last name") << int(PlayersModel::kLastName);
        QTest::newRow("years") << int(PlayersModel::kYears);
        QTest::newRow("ST potential") << int(PlayersModel::kFirstPotential + 3);
        QTest::newRow("whose") << int(PlayersModel::kWhose);
        QTest::newRow("identity") << int(PlayersModel::kIdentity);
    }
    void sortsByAnyColumn() {
        QFETCH(int, column);
        Harness h;
        HiddenRookies(h);
        PlayersWindow* window = Open(h);
        PlayersModel* model = window->model();
        auto* table = window->findChild<QTableView*>("table");
        table->selectRow(7);
        const qlonglong selected = Cell(model, 7, PlayersModel::kSlot).toLongLong();
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        QHeaderView* header = table->horizontalHeader();
        for (const bool descending : {false, true}) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 5));
            QCOMPARE(header->sortIndicatorSection(), column);
            QCOMPARE(header->sortIndicatorOrder(), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            QCOMPARE(model->rowCount(), 120);
            for (int row = 1; row < model->rowCount(); ++row) {
                const QVariant a = Cell(model, row - 1, column, PlayersModel::kSortRole),
                               b = Cell(model, row, column, PlayersModel::kSortRole);
                int order = a.typeId() == QMetaType::QString ? collator.compare(a.toString(), b.toString())
                                                             : (a.toLongLong() > b.toLongLong()) - (a.toLongLong() < b.toLongLong());
                if (descending) order = -order;
                const bool slotsRise = Cell(model, row - 1, 0).toLongLong() < Cell(model, row, 0).toLongLong();
                QVERIFY2(order < 0 || (order == 0 && slotsRise), qPrintable(QString("row %1").arg(row)));
            }
            QCOMPARE(Cell(model, table->currentIndex().row(), PlayersModel::kSlot).toLongLong(), selected);
        }
    }

    // Only the players whose "First Last" holds the text, case aside; the
    // count says how many of how many.
    void filtersByName_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("part of a name") << "an";
        QTest::newRow("across first and last") << "l w";
        QTest::newRow("upper case") << "PEREZ";
        QTest::newRow("nobody") << "zzz";
        QTest::newRow("spaces only") << "  ";
    }
    void filtersByName() {
        QFETCH(QString, typed);
        Harness h;
        const fs::path lge = HiddenRookies(h);
        PlayersWindow* window = Open(h);
        QTest::keyClicks(window->findChild<QLineEdit*>("filter"), typed);
        QStringList expected, shown;
        for (const auto& p : Report(lge)) {
            const QString name = QString::fromStdString(p.firstName + " " + p.lastName);
            if (name.contains(typed.trimmed(), Qt::CaseInsensitive)) expected << QString::number(p.slot);
        }
        PlayersModel* model = window->model();
        for (int row = 0; row < model->rowCount(); ++row) shown << Cell(model, row, 0).toString();
        QCOMPARE(shown, expected);
        QCOMPARE(window->findChild<QLabel*>("count")->text(),
                 expected.size() == 120 ? QString("120 players") : QString("%1 of 120 players shown").arg(expected.size()));
    }

    // The preview's players and their potentials after are those of a dry
    // run of the same choice through the run core; no file changes; "Only
    // the players it would change" shows just them; a new choice clears it.
    void thePreviewIsTheDryRun_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("entry");
        QTest::newRow("Hide Pots for 3 yr and less") << 0 << "3 yr and less";
        QTest::newRow("Restore Pots") << 2 << "";
    }
    void thePreviewIsTheDryRun() {
        QFETCH(int, option);
        QFETCH(QString, entry);
        Harness h;
        const fs::path lge = HiddenRookies(h);
        h.Option(option);
        if (!entry.isEmpty()) h.Years(entry);
        PlayersWindow* window = Open(h);
        const auto before = Snapshot(h.leagueDir.path());
        const qsizetype showings = h.lives.size();
        h.dialogs.clear();
        auto* preview = window->findChild<QPushButton*>("previewButton");
        QCOMPARE(preview->text(), "&Preview " + h.Find<QRadioButton>(QString("operationButton%1").arg(option))->text() +
                                      (entry.isEmpty() ? QString() : " for " + entry));
        h.Answering({}, [&] { preview->click(); });
        QVERIFY(h.dialogs.isEmpty() && h.lives.size() > showings && !h.form.isRunning());

        TempDir elsewhere;
        tavrin::ProgramState state;
        state.workingFolder = elsewhere.path();
        tavrin::run::Request request = h.form.ChosenRequest();
        request.league = lge;
        request.dryRun = request.listChanges = true;
        const tavrin::run::Outcome dry = tavrin::run::RunLeague(request, state, h.random);
        QCOMPARE(dry.kind, tavrin::run::Outcome::Kind::Done);
        QVERIFY(!dry.changes.empty());
        QVERIFY(Snapshot(h.leagueDir.path()) == before);

        PlayersModel* model = window->model();
        QCOMPARE(model->changed(), static_cast<int>(dry.changes.size()));
        QVERIFY(window->findChild<QCheckBox*>("onlyChanged")->isChecked());
        QCOMPARE(model->rowCount(), model->changed());
        for (int row = 0; row < model->rowCount(); ++row) {
            const auto& change = dry.changes[static_cast<std::size_t>(row)];
            QCOMPARE(Cell(model, row, 0).toLongLong(), change.slot);
            QVERIFY(model->PreviewOf(row) == change.after);
            QCOMPARE(Cell(model, row, PlayersModel::kFirstPotential).toString(),
                     QString("%1 \u2192 %2").arg(change.before[0]).arg(change.after[0]));
        }
        QCOMPARE(window->findChild<QLabel*>("previewResult")->text().section(": the table", 0, 0),
                 QString::fromStdString(dry.message) + QString("\n%1 would change the potentials of %2 players")
                                                           .arg(preview->text().mid(QString("&Preview ").size()))
                                                           .arg(dry.changes.size()));
        QCOMPARE(window->findChild<QLabel*>("count")->text(), QString("%1 of 120 players shown").arg(dry.changes.size()));

        h.Option(1);
        QVERIFY(!model->hasPreview() && model->rowCount() == 120 && model->changed() == 0);
        QCOMPARE(preview->text(), QString("&Preview Randomize Pots"));
    }

    // Hide with no entry chosen is told before anything runs, as OK tells it.
    void aPreviewOfHideWithoutYearsAsksForThem() {
        Harness h;
        const fs::path lge = gen::WriteLeague(h.leagueDir.path(), "lg", {gen::Kind::L02, 173, 37, {0x40}, gen::MakePlayers(10, 5), {}});
        QVERIFY(h.form.UseGivenLeagues({Q(lge)}));
        PlayersWindow* window = Open(h);
        h.Answering({}, [&] { window->findChild<QPushButton*>("previewButton")->click(); });
        QCOMPARE(h.dialogs, QStringList{"Tavrin|Select Years"});
        QVERIFY(h.lives.isEmpty());
    }
};

QTEST_MAIN(PlayersTest)
#include "PlayersWindowTest.moc"
