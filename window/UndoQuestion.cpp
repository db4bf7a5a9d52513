#include "window/UndoQuestion.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

#include "league/Clock.h"
#include "window/Texts.h"

namespace tavrin::window {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("UndoQuestion", text); }

}  // namespace

QString RunName(const run::HistoryRun& run) {
    return Tr("run %1 (%2 on %3)")
        .arg(run.number)
        .arg(FromCore(run.operation), FromCore(LocalTimeText(run.time)));
}

bool ConfirmUndo(QWidget* parent, const run::HistoryRun& target, const std::vector<run::HistoryRun>& runs,
                 const QString& pyr, const QString& pot) {
    const auto later = std::count_if(runs.begin(), runs.end(),
                                     [&](const run::HistoryRun& r) { return r.number > target.number; });
    const QString question =
        later == 0   ? Tr("Undo %1?").arg(RunName(target))
        : later == 1 ? Tr("Undo %1 and the run after it?").arg(RunName(target))
                     : Tr("Undo %1 and the %2 runs after it?").arg(RunName(target)).arg(later);
    // As the undo will do it: the .pot comes back where the run kept one, and
    // goes where there was none before it; otherwise it stays.
    const QString files = !target.keptPot.empty()
                              ? Tr("%1 and %2 come back as they were before it.").arg(pyr, pot)
                          : target.potWasMissing
                              ? Tr("%1 comes back as it was before it, and %2 is removed, as there was none then.")
                                    .arg(pyr, pot)
                              : Tr("%1 comes back as it was before it.").arg(pyr);
    QMessageBox box(QMessageBox::Question, Tr("Tavrin"), question, QMessageBox::NoButton, parent);
    box.setInformativeText(files + " " +
                           Tr("The files as they are now are kept in the history first, so the undo can be undone "
                              "too."));
    QPushButton* undo = box.addButton(Tr("Undo"), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    return box.clickedButton() == undo;
}

}  // namespace tavrin::window
