#include "window/AboutBox.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace tavrin::window {

namespace {

// A path as a field of its own: read-only, selectable, wide enough for the
// usual paths and scrolling for longer ones; the whole path in its tool tip.
QLineEdit* PathField(const QString& name, const QString& path, QWidget* parent) {
    auto* field = new QLineEdit(QDir::toNativeSeparators(path), parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setCursorPosition(0);
    field->setToolTip(field->text());
    field->setMinimumWidth(field->fontMetrics().averageCharWidth() * 48);
    return field;
}

}  // namespace

AboutBox::AboutBox(const KeptFiles& files, QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(tr("About Tavrin"));
    auto* layout = new QVBoxLayout(this);

    auto* title = new QLabel(tr("<b>Tavrin %1</b><br>Hides, randomizes and restores the potential ratings of a league's "
                                "players.")
                                 .arg(QCoreApplication::applicationVersion().toHtmlEscaped()),
                             this);
    title->setObjectName("title");
    layout->addWidget(title);

    // The license as the program carries it (LICENSE, compiled in), its
    // paragraphs flowed to the box's width.
    QFile license(QStringLiteral(":/text/LICENSE"));
    QString text = license.open(QIODevice::ReadOnly) ? QString::fromUtf8(license.readAll()) : QStringLiteral("MIT License");
    text.replace(QRegularExpression(QStringLiteral("(?<!\\n)\\n(?!\\n)")), QStringLiteral(" "));
    auto* licenseText = new QPlainTextEdit(text, this);
    licenseText->setObjectName("license");
    licenseText->setReadOnly(true);
    licenseText->setFixedHeight(licenseText->fontMetrics().lineSpacing() * 7);
    layout->addWidget(new QLabel(tr("Tavrin is free software under the MIT License:"), this));
    layout->addWidget(licenseText);

    layout->addWidget(new QLabel(tr("Where Tavrin keeps its files:"), this));
    auto* paths = new QFormLayout;
    paths->addRow(tr("Working database:"), PathField("workingDatabase", files.workingDatabase, this));
    paths->addRow(tr("Settings:"), PathField("settings", files.settings, this));
    QLineEdit* history = PathField("history", files.history, this);
    if (files.history.isEmpty()) history->setPlaceholderText(tr("no league chosen yet"));
    paths->addRow(tr("League's history:"), history);
    layout->addLayout(paths);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace tavrin::window
