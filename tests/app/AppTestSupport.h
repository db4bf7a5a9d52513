#pragma once

// What the window tests share: a main window wired like the program's, with
// its progress window, in folders of the test's own; a driver that answers the
// modal dialogs a run opens; and a record of every life of the progress window.

#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LeagueGenerator.h"
#include "RandomSource.h"
#include "TempDir.h"
#include "frmMain.h"
#include "frmStatus.h"
#include "mGlobal.h"

class QComboBox;
class QPushButton;
class QRadioButton;

namespace tavrin::apptest {

// Drops the offscreen platform's notes about what it cannot do (raise,
// keyboard grabs, size hints) and passes every other message on.
void InstallMessageFilter();

// A draw sequence fixed by the test: cycles through the given values.
class CycleRandomSource final : public RandomSource {
public:
    explicit CycleRandomSource(std::vector<float> values) : values_(std::move(values)) {}
    float Next() override { return values_[next_++ % values_.size()]; }

private:
    std::vector<float> values_;
    std::size_t next_ = 0;
};

// One modal dialog the run opened, and how the main window stood meanwhile.
struct Dialog {
    enum Kind { FileDialog, MessageBox, Other } kind = Other;
    QString title;
    QString text;        // a message box's text
    QString detail;      // a message box's informative text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList filters; // a file dialog's name filters
    bool windowBlocked = false;  // OK, Cancel, options and list all disabled
    bool closeRefused = false;   // closing the main window was refused
};

// One showing of the progress window, from its show to its hide.
struct Life {
    QString labelAtShow;
    float valueAtShow = -1;
    bool hourglassAtShow = false;
    QString labelAtEnd;
    float valueAtEnd = -1;
};

// Watches the progress window's show and hide events.
class LifeRecorder : public QObject {
public:
    explicit LifeRecorder(frmStatus& status);
    QList<Life> lives;
    QStringList labelsAtEnd() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmStatus& status_;
};

// The main window as the program wires it, in folders of the test's own:
// Temp.mdb goes to appDir, leagues to leagueDir.
class Harness : public QObject {
public:
    explicit Harness(std::vector<float> draws = {0.5f});
    ~Harness() override;

    // Presses OK. Each file dialog of the run takes the next answer (a path,
    // or nullopt to cancel); every message box is recorded and answered OK.
    // Returns when the run has ended.
    void PressOkAnswering(std::vector<std::optional<std::filesystem::path>> answers);
    void PressOk(const std::filesystem::path& league) { PressOkAnswering({std::optional(league)}); }

    QPushButton* cmdOK() const;
    QPushButton* cmdCancel() const;
    QRadioButton* optPots(int index) const;
    QComboBox* cboYears() const;
    void ChooseOperation(int index);      // clicks the option button
    void ChooseYears(const QString& entry);  // picks the entry from the list

    // The message boxes of all runs so far.
    QList<Dialog> MessageBoxes() const;

    test::TempDir leagueDir;
    test::TempDir appDir;
    ProgramState state;
    CycleRandomSource random;
    std::unique_ptr<frmMain> form;
    frmStatus* status = nullptr;  // owned by form
    std::unique_ptr<LifeRecorder> recorder;
    QList<int> endCodes;          // each call of the injected program end
    QList<Dialog> dialogs;        // every modal dialog, in order
    QStringList unanswered;       // dialogs nobody expected (closed by force)

private:
    void Poll();
    void AnswerFile(QFileDialog* files, const std::filesystem::path& path);
    Dialog Describe(QWidget* modal) const;

    QTimer poll_;
    QPointer<QWidget> handled_;
    int retries_ = 0;
    std::optional<std::filesystem::path> pendingFile_;
    std::deque<std::optional<std::filesystem::path>> answers_;
};

// A league of our generator: `count` players of that seed, with the first
// nine given the years 0, 0, 1, 3, 4, 8, 9, 49, 50 so that every limit of the
// list meets players on both sides of it.
gen::League MakeLeague(std::size_t count, std::uint64_t seed, gen::Kind kind = gen::Kind::L02);

// The league with the potentials of every player below the limit set to 0.
gen::League Hidden(gen::League league, int yearsLimit);

// "" when equal, else where and how two byte strings first differ.
QString Difference(const std::vector<unsigned char>& got, const std::vector<unsigned char>& want);

// Rows in Players of a database file, and one column of the player (a, b).
std::int64_t CountPlayers(const std::filesystem::path& database);
std::int64_t PlayerColumn(const std::filesystem::path& database, int pidA, int pidB, const std::string& column);

// File names and contents of a folder, to see that nothing in it changed.
std::vector<std::pair<std::string, std::vector<unsigned char>>> Snapshot(const std::filesystem::path& dir);

QString ToQString(const std::filesystem::path& p);

}  // namespace tavrin::apptest
