#include "window/PlayersWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "run/Messages.h"
#include "window/FormLayout.h"
#include "window/PlayersModel.h"
#include "window/Texts.h"

namespace tavrin::window {

PlayersWindow::PlayersWindow(ChosenRequest chosen, DryRun dryRun, QWidget* parent)
    : QWidget(parent, Qt::Window), chosen_(std::move(chosen)), dryRun_(std::move(dryRun)) {
    setObjectName("PlayersWindow");
    model_ = new PlayersModel(this);

    note_ = new QLabel(this);
    note_->setObjectName("note");
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    filter_ = new QLineEdit(this);
    filter_->setObjectName("filter");
    filter_->setPlaceholderText(tr("First or last name"));
    filter_->setClearButtonEnabled(true);
    filter_->setAccessibleName(tr("Filter by name"));
    auto* filterLabel = new QLabel(tr("&Name:"), this);
    filterLabel->setBuddy(filter_);
    count_ = new QLabel(this);
    count_->setObjectName("count");
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->SetNameFilter(text.trimmed());
        UpdateCount();
    });

    table_ = new QTableView(this);
    table_->setObjectName("table");
    table_->setAccessibleName(tr("Players"));
    table_->setModel(model_);
    SetUpPlayerTable(*table_, PlayersModel::kSlot);
    table_->setAlternatingRowColors(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->horizontalHeader()->setHighlightSections(false);
    connect(table_->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &PlayersWindow::FitColumns);

    auto* legend = new QLabel(tr("Ratings: %1. \u201cnow\u201d is the current rating, \u201cpot\u201d the potential.")
                                  .arg(AttributeLegend()),
                              this);
    legend->setObjectName("legend");
    legend->setWordWrap(true);

    preview_ = new QPushButton(this);
    preview_->setObjectName("previewButton");
    preview_->setAutoDefault(false);
    connect(preview_, &QPushButton::clicked, this, &PlayersWindow::Preview);
    onlyChanged_ = new QCheckBox(tr("&Only the players it would change"), this);
    onlyChanged_->setObjectName("onlyChanged");
    onlyChanged_->setEnabled(false);
    connect(onlyChanged_, &QCheckBox::toggled, this, [this](bool only) {
        model_->SetOnlyChanged(only);
        UpdateCount();
    });
    previewResult_ = new QLabel(this);
    previewResult_->setObjectName("previewResult");
    previewResult_->setWordWrap(true);
    previewResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* reload = buttons->addButton(tr("&Reload"), QDialogButtonBox::ResetRole);
    reload->setObjectName("reloadButton");
    reload->setToolTip(tr("Reads the league's files afresh"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setText(tr("Close"));
    for (QPushButton* b : {reload, close}) b->setAutoDefault(false);
    connect(reload, &QPushButton::clicked, this, &PlayersWindow::Reload);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter_, 1);
    filterRow->addWidget(count_, 1);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(preview_);
    previewRow->addWidget(onlyChanged_);
    previewRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addLayout(filterRow);
    layout->addWidget(table_, 1);
    layout->addWidget(legend);
    layout->addLayout(previewRow);
    layout->addWidget(previewResult_);
    layout->addWidget(buttons);

    UpdatePreviewButton();
    UpdateCount();
}

void PlayersWindow::ShowLeague(const QString& league) {
    if (league == league_) return;
    league_ = league;
    setWindowTitle(tr("Players of %1").arg(QFileInfo(league).fileName()));
    Reload();
    UpdatePreviewButton();
    // As wide as the table with every column shown, as the screen allows.
    const int width = table_->horizontalHeader()->length() + table_->verticalScrollBar()->sizeHint().width() +
                      layout()->contentsMargins().left() + layout()->contentsMargins().right() + 4;
    FitOnScreen(*this, QSize(width, 640));
}

void PlayersWindow::Reload() {
    std::vector<run::ReportedPlayer> players;
    QString note;
    try {
        const run::LeagueReport report =
            run::ReportLeague(ToPath(league_), [&](const run::ReportedPlayer& p) { players.push_back(p); });
        note = tr("%1 players in %2.").arg(report.players).arg(FromPath(report.paths.playerFile.filename())) + " " +
               FromCore(run::PotentialsNote(report));
    } catch (const std::exception& e) {
        players.clear();
        note = tr("The players cannot be shown: %1").arg(FromCore(e.what()));
    }
    note_->setText(note);
    model_->SetPlayers(std::move(players));
    {
        const QSignalBlocker quiet(onlyChanged_);
        onlyChanged_->setChecked(false);
    }
    onlyChanged_->setEnabled(false);
    previewResult_->clear();
    // The names change only here: measured once, not at every sort.
    const QFontMetrics metrics = table_->fontMetrics();
    firstNameWidth_ = model_->WidestName(PlayersModel::kFirstName, metrics);
    lastNameWidth_ = model_->WidestName(PlayersModel::kLastName, metrics);
    FitColumns();
    UpdateCount();
}

void PlayersWindow::FitColumns() {
    // Each column as wide as its header and its widest value, names whole.
    // Sixteen rating columns and more must fit a screen 1280 pixels wide:
    // each as wide as it needs and no wider, with the margins the style
    // keeps around a cell's and a header's text.
    const QFontMetrics metrics = table_->fontMetrics();
    QStyle* style = table_->style();
    const int pad = 2 * style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_) + 6;
    const int headerPad = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table_) + 4;
    QHeaderView* header = table_->horizontalHeader();
    const auto wide = [&](const QString& text) { return metrics.horizontalAdvance(text) + pad; };
    // Room for a preview's "99 → 99" from the start: a preview never widens the table.
    const QString potential = PlayersModel::tr("%1 \u2192 %2", "a potential before and after the previewed run").arg(99).arg(99);
    // The sorted column's header holds the sort arrow too.
    const int sorted = header->sortIndicatorSection();
    const int arrow = style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header) + headerPad / 2;
    for (int column = 0; column < PlayersModel::kColumns; ++column) {
        int content = wide(QStringLiteral("99"));
        switch (column) {
            case PlayersModel::kSlot: content = wide(QString::number(model_->lastSlot())); break;
            case PlayersModel::kIdentity: content = wide(QStringLiteral("255/255")); break;
            case PlayersModel::kFirstName: content = firstNameWidth_ + pad; break;
            case PlayersModel::kLastName: content = lastNameWidth_ + pad; break;
            case PlayersModel::kYears: content = wide(YearsText(15)); break;
            case PlayersModel::kWhose:
                content = 0;
                for (const run::Whose whose : {run::Whose::True, run::Whose::Hidden, run::Whose::Randomized})
                    content = std::max(content, wide(PlayersModel::WhoseText(whose)));
                break;
            default:
                if (column >= PlayersModel::kFirstPotential && column < PlayersModel::kWhose)
                    content = wide(potential);
        }
        // The header's lines as they are, without the room QHeaderView keeps
        // in every section for the sort arrow: with sixteen narrow rating
        // columns that room alone would push the table past the screen.
        int title = 0;
        for (const QString& line : model_->headerData(column, Qt::Horizontal).toString().split(QLatin1Char('\n')))
            title = std::max(title, header->fontMetrics().horizontalAdvance(line) + headerPad);
        header->resizeSection(column, std::max(title + (column == sorted ? arrow : 0), content));
    }
}

void PlayersWindow::UpdateCount() {
    const int shown = model_->rowCount(), all = model_->players();
    count_->setText(shown == all ? tr("%1 players").arg(all) : tr("%1 of %2 players shown").arg(shown).arg(all));
}

QString PlayersWindow::ChoiceText() const {
    const run::Request request = chosen_();
    const QString operation = CoreText(run::FactsOf(request.operation).caption);
    if (request.operation != run::Operation::Hide) return operation;
    for (const run::YearsChoice& entry : run::kYearsChoices)
        if (request.yearsLimit && entry.limit == *request.yearsLimit)
            return tr("%1 for %2", "an operation and the years list's entry").arg(operation, CoreText(entry.text));
    return tr("%1 (%2)", "an operation and the years list's placeholder").arg(operation, CoreText(run::kSelectYears));
}

void PlayersWindow::UpdatePreviewButton() {
    preview_->setText(tr("&Preview %1").arg(ChoiceText()));
    preview_->setToolTip(tr("Shows the players OK would change with the main window's choices, before and after; "
                            "nothing is written"));
    preview_->setEnabled(!running_ && !league_.isEmpty());
}

void PlayersWindow::ChoiceChanged() {
    model_->ClearPreview();
    {
        const QSignalBlocker quiet(onlyChanged_);
        onlyChanged_->setChecked(false);
    }
    onlyChanged_->setEnabled(false);
    previewResult_->clear();
    UpdatePreviewButton();
    UpdateCount();
}

void PlayersWindow::SetRunning(bool running) {
    running_ = running;
    UpdatePreviewButton();
}

void PlayersWindow::Preview() {
    if (running_ || league_.isEmpty()) return;
    run::Request request = chosen_();
    if (const auto problem = run::ProblemWithRequest(request)) {
        QMessageBox::information(this, tr("Tavrin"), CoreText(*problem));
        return;
    }
    request.league = ToPath(league_);
    request.dryRun = true;
    request.listChanges = true;
    const QString choice = ChoiceText();
    const run::Outcome outcome = dryRun_(request);
    if (outcome.kind != run::Outcome::Kind::Done) {
        QMessageBox::warning(this, tr("Tavrin"), FromCore(outcome.message));
        return;
    }
    // The league may have changed since it was read: the preview is of the
    // files as they are now.
    Reload();
    model_->SetPreview(outcome.changes);
    // The core's own words for the dry run (what the run would say it did),
    // then what the table marks: the players whose potentials would differ.
    const int changed = model_->changed();
    QString text = FromCore(outcome.message) + "\n" +
                   (changed == 0   ? tr("%1 would change no player's potentials.").arg(choice)
                    : changed == 1 ? tr("%1 would change 1 player's potentials: the table marks him, each potential "
                                        "before \u2192 after.")
                                         .arg(choice)
                                   : tr("%1 would change the potentials of %2 players: the table marks them, each "
                                        "potential before \u2192 after.")
                                         .arg(choice)
                                         .arg(changed));
    previewResult_->setText(text);
    onlyChanged_->setEnabled(model_->changed() > 0);
    onlyChanged_->setChecked(model_->changed() > 0);
    UpdateCount();
}

}  // namespace tavrin::window
