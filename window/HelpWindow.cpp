#include "window/HelpWindow.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "window/FormLayout.h"

// A static library's resources are registered by name, outside any namespace.
static void RegisterHelp() { Q_INIT_RESOURCE(help); }

namespace tavrin::window {

QString HelpText() {
    RegisterHelp();
    QFile file(QStringLiteral(":/help/help.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpWindow");
    setWindowTitle(tr("Tavrin Help"));

    browser_ = new QTextBrowser(this);
    browser_->setObjectName("helpText");
    browser_->setAccessibleName(tr("Tavrin Help"));
    browser_->setOpenExternalLinks(true);
    const QString text = HelpText();
    if (text.isEmpty()) browser_->setPlainText(tr("This copy of Tavrin was built without its help text."));
    else browser_->setMarkdown(text);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setText(tr("Close"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addWidget(buttons);
    // About eighty characters to a line, as tall as the screen allows.
    browser_->document()->setDocumentMargin(browser_->fontMetrics().averageCharWidth() * 2);
    FitOnScreen(*this, QSize(browser_->fontMetrics().averageCharWidth() * 100, 760));
}

}  // namespace tavrin::window
