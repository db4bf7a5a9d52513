#include "window/UndoQuestion.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

#include "league/Clock.h"
#include "window/Texts.h"

namespace tavrin::window {

namespace {

// The question's texts, translated in a context of their own.
class UndoQuestion {
    Q_DECLARE_TR_FUNCTIONS(UndoQuestion)
};

}  // namespace

QString RunName(const run::HistoryRun& run) {
    return UndoQuestion::tr("run %1 (%2 on %3)")
        .arg(run.number)
        .arg(FromCore(run.operation), FromCore(LocalTimeText(run.time)));
}

bool ConfirmUndo(QWidget* parent, const run::HistoryRun& target, const std::vector<run::HistoryRun>& runs,
                 const QString& pyr, const QString& pot) {
    const auto later = std::count_if(runs.begin(), runs.end(),
                                     [&](const run::HistoryRun& r) { return r.number > target.number; });
    const QString name = RunName(target);
    const QString question = later == 0   ? UndoQuestion::tr("Undo %1?").arg(name)
                             : later == 1 ? UndoQuestion::tr("Undo %1 and the run after it?").arg(name)
                                          : UndoQuestion::tr("Undo %1 and the %2 runs after it?").arg(name).arg(later);
    // As the undo will do it: the .pot comes back where the run kept one, and
    // goes where there was none before it; otherwise it stays.
    const QString files =
        !target.keptPot.empty() ? UndoQuestion::tr("%1 and %2 come back as they were before it.").arg(pyr, pot)
        : target.potWasMissing
            ? UndoQuestion::tr("%1 comes back as it was before it, and %2 is removed, as there was none then.")
                  .arg(pyr, pot)
            : UndoQuestion::tr("%1 comes back as it was before it.").arg(pyr);
    QMessageBox box(QMessageBox::Question, UndoQuestion::tr("Tavrin"), question, QMessageBox::NoButton, parent);
    box.setInformativeText(
        files + " " +
        UndoQuestion::tr("The files as they are now are kept in the history first, so the undo can be undone too."));
    QPushButton* undo = box.addButton(UndoQuestion::tr("Undo"), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    return box.clickedButton() == undo;
}

}  // namespace tavrin::window
