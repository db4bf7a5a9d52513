#pragma once

// The About box (F1, or the "?" beside the status line): the version, the
// license, and where Tavrin keeps its files, each path in a read-only field
// the user can select and copy.

#include <QDialog>
#include <QString>

namespace tavrin::window {

struct KeptFiles {
    QString workingDatabase;  // Temp.mdb, rebuilt by every run
    QString settings;         // the file (or, on Windows, registry key) of the settings
    QString history;          // the history of the league given or chosen last; empty when there is none
};

class AboutBox : public QDialog {
    Q_OBJECT

public:
    AboutBox(const KeptFiles& files, QWidget* parent = nullptr);
};

}  // namespace tavrin::window
