#include "AppTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <algorithm>
#include <stdexcept>

#include "mDbEngine.h"

namespace tavrin::apptest {

namespace {

QtMessageHandler previousHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith("This plugin does not support")) return;
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

void InstallMessageFilter() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    previousHandler = qInstallMessageHandler(FilterMessages);
}

QString ToQString(const std::filesystem::path& p) { return QString::fromStdU16String(p.u16string()); }

// ---------------------------------------------------------------------------

LifeRecorder::LifeRecorder(frmStatus& status) : status_(status) { status_.installEventFilter(this); }

bool LifeRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &status_) {
        if (event->type() == QEvent::Show) {
            Life life;
            life.labelAtShow = status_.labelText();
            life.valueAtShow = status_.value();
            const QCursor* cursor = QGuiApplication::overrideCursor();
            life.hourglassAtShow = cursor && cursor->shape() == Qt::WaitCursor;
            lives.append(life);
        } else if (event->type() == QEvent::Hide && !lives.isEmpty()) {
            lives.last().labelAtEnd = status_.labelText();
            lives.last().valueAtEnd = status_.value();
        }
    }
    return QObject::eventFilter(watched, event);
}

QStringList LifeRecorder::labelsAtEnd() const {
    QStringList labels;
    for (const Life& life : lives) labels << life.labelAtEnd;
    return labels;
}

// ---------------------------------------------------------------------------

Harness::Harness(std::vector<float> draws) : random(std::move(draws)) {
    InstallMessageFilter();
    state.appDir = appDir.path();
    form = std::make_unique<frmMain>(state, random);
    status = new frmStatus(form.get());
    state.progress = status;
    recorder = std::make_unique<LifeRecorder>(*status);
    form->setEndProgram([this](int code) { endCodes << code; });
    form->setFileDialogOptions(QFileDialog::DontUseNativeDialog);
    form->setWindowTitle("Tavrin v. test");
    form->show();

    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, &Harness::Poll);
}

Harness::~Harness() {
    poll_.stop();
    state.progress = &state.silentProgress;
    recorder.reset();
    form.reset();
}

QPushButton* Harness::cmdOK() const { return form->findChild<QPushButton*>("cmdOK"); }
QPushButton* Harness::cmdCancel() const { return form->findChild<QPushButton*>("cmdCancel"); }
QRadioButton* Harness::optPots(int index) const {
    return form->findChild<QRadioButton*>(QStringLiteral("optPots%1").arg(index));
}
QComboBox* Harness::cboYears() const { return form->findChild<QComboBox*>("cboYears"); }

void Harness::ChooseOperation(int index) { optPots(index)->click(); }

void Harness::ChooseYears(const QString& entry) {
    const int index = cboYears()->findText(entry);
    if (index < 0) throw std::logic_error("no such list entry: " + entry.toStdString());
    cboYears()->setCurrentIndex(index);
}

QList<Dialog> Harness::MessageBoxes() const {
    QList<Dialog> boxes;
    for (const Dialog& d : dialogs)
        if (d.kind == Dialog::MessageBox) boxes << d;
    return boxes;
}

void Harness::PressOkAnswering(std::vector<std::optional<std::filesystem::path>> answers) {
    answers_.assign(answers.begin(), answers.end());
    poll_.start();
    cmdOK()->click();  // the whole run happens inside
    poll_.stop();
    if (!answers_.empty()) unanswered << QStringLiteral("%1 file dialog answer(s) never asked for").arg(answers_.size());
}

Dialog Harness::Describe(QWidget* modal) const {
    Dialog d;
    d.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        d.kind = Dialog::MessageBox;
        d.text = box->text();
        d.detail = box->informativeText();
        d.icon = box->icon();
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        d.kind = Dialog::FileDialog;
        d.filters = files->nameFilters();
    }
    d.windowBlocked = !cmdOK()->isEnabled() && !cmdCancel()->isEnabled() && !optPots(0)->isEnabled() &&
                      !optPots(1)->isEnabled() && !optPots(2)->isEnabled() && !cboYears()->isEnabled();
    // close() runs the window's close handling; during a run it must refuse.
    d.closeRefused = !form->close() && form->isVisible();
    return d;
}

void Harness::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (modal == handled_) {
        // A file dialog may still be busy with its folder when it is answered
        // and then stay open; answer it again, and give up on it in the end.
        if (++retries_ > 500) {
            unanswered << "dialog did not close: " + modal->windowTitle();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        } else if (auto* files = qobject_cast<QFileDialog*>(modal); files && pendingFile_) {
            AnswerFile(files, *pendingFile_);
        }
        return;
    }
    handled_ = modal;
    retries_ = 0;
    pendingFile_.reset();

    Dialog d = Describe(modal);
    dialogs << d;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else {
            unanswered << "message box without OK: " + d.text;
            box->done(0);
        }
        return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        if (answers_.empty()) {
            unanswered << "file dialog nobody expected";
            files->reject();
            return;
        }
        const auto answer = answers_.front();
        answers_.pop_front();
        if (!answer) {
            files->reject();
            return;
        }
        pendingFile_ = *answer;
        AnswerFile(files, *answer);
        return;
    }
    unanswered << "unknown modal window: " + d.title;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

void Harness::AnswerFile(QFileDialog* files, const std::filesystem::path& path) {
    // As a user would: the whole path typed into the name field, then Open.
    files->selectFile(ToQString(path));
    if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) name->setText(ToQString(path));
    // QFileDialog::accept is protected; through QDialog it is not.
    static_cast<QDialog*>(files)->accept();
}

// ---------------------------------------------------------------------------

gen::League MakeLeague(std::size_t count, std::uint64_t seed, gen::Kind kind) {
    gen::League league;
    league.kind = kind;
    league.start = 173;
    league.step = 37;
    for (std::uint8_t b = 0; b < 12; ++b) league.headerRest.push_back(static_cast<std::uint8_t>(0x40 + 5 * b));
    league.players = gen::MakePlayers(count, seed);
    const std::uint8_t years[] = {0, 0, 1, 3, 4, 8, 9, 49, 50};
    for (std::size_t i = 0; i < std::size(years) && i < league.players.size(); ++i)
        league.players[i].years = years[i];
    return league;
}

gen::League Hidden(gen::League league, int yearsLimit) {
    for (gen::Player& p : league.players)
        if (p.years < yearsLimit) p.pot.fill(0);
    return league;
}

QString Difference(const std::vector<unsigned char>& got, const std::vector<unsigned char>& want) {
    if (got == want) return {};
    const auto mismatch = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    const auto at = static_cast<std::size_t>(mismatch.first - got.begin());
    QString text = QStringLiteral("%1 bytes, expected %2").arg(got.size()).arg(want.size());
    if (at < got.size() && at < want.size())
        text += QStringLiteral("; first difference at byte %1 (record %2, offset %3): %4, expected %5")
                    .arg(at)
                    .arg(at / 51)
                    .arg(at % 51)
                    .arg(got[at])
                    .arg(want[at]);
    return text;
}

std::int64_t CountPlayers(const std::filesystem::path& database) {
    auto db = db::Database::OpenDatabase(database, db::Database::Mode::ReadOnly);
    db::Recordset& rs = db->OpenRecordset("SELECT * FROM Players");
    if (rs.IsEOF()) return 0;
    rs.MoveLast();
    return rs.RecordCount();
}

std::int64_t PlayerColumn(const std::filesystem::path& database, int pidA, int pidB, const std::string& column) {
    auto db = db::Database::OpenDatabase(database, db::Database::Mode::ReadOnly);
    db::Recordset& rs = db->OpenRecordset("SELECT * FROM Players WHERE PID_a = " + std::to_string(pidA) +
                                          " and PID_b = " + std::to_string(pidB));
    if (rs.IsEOF()) throw std::runtime_error("no such player in the database");
    return rs.Int(column);
}

std::vector<std::pair<std::string, std::vector<unsigned char>>> Snapshot(const std::filesystem::path& dir) {
    std::vector<std::pair<std::string, std::vector<unsigned char>>> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file())
            files.emplace_back(name, test::ReadFileBytes(entry.path()));
        else
            files.emplace_back(name + "/", std::vector<unsigned char>{});
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace tavrin::apptest
