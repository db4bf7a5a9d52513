// Makes a pseudo-translation of the translation template: every text
// becomes itself between "⟦" and "⟧", so that a window shown with it tells
// at a glance, and a test by the marks, which of its texts went through
// tr() and which did not.
//
//   tavrin-pseudo-translation tavrin.ts tavrin_pseudo.ts
//
// The template's sources are XML-escaped already and go into the
// translations as they are. Plural forms are not made: the windows use none.

#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavrin-pseudo-translation TEMPLATE.ts PSEUDO.ts\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QString text = QString::fromUtf8(in.readAll());
    if (text.contains(QStringLiteral("numerus=\"yes\""))) {
        std::fprintf(stderr, "%s has plural forms, which this tool does not make\n", argv[1]);
        return 1;
    }
    static const QRegularExpression message(
        QStringLiteral("(<source>(.*?)</source>.*?)<translation type=\"unfinished\"></translation>"),
        QRegularExpression::DotMatchesEverythingOption);
    text.replace(message, QStringLiteral("\\1<translation>\u27e6\\2\u27e7</translation>"));
    text.replace(QStringLiteral("sourcelanguage=\"en\""), QStringLiteral("sourcelanguage=\"en\" language=\"en_XA\""));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text.toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
