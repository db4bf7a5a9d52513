// Where Temp.mdb goes: beside the program when this user can write there (a
// portable copy), else in the user's data folder (an installed copy).

#include <QtTest>

#include "Fixture.h"
#include "app/WorkingFolder.h"

namespace fs = std::filesystem;

class WorkingFolderTest : public QObject {
    Q_OBJECT

    tavrin::test::TempDir home;

    static QString Q(const fs::path& p) { return QString::fromStdU16String(p.u16string()); }

private slots:
    void initTestCase() {
        tavrin::app::NameApplication();
        // The user's data folder of this test's own (read on each call on
        // Linux; elsewhere the system's, which the checks below also hold for).
        qputenv("XDG_DATA_HOME", Q(home / "share").toUtf8());
    }

    void besideTheProgramOnlyWhereItCanWrite_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("a writable folder") << "portable";
        QTest::newRow("a folder that is not there") << "gone";
        QTest::newRow("a read-only folder") << "read-only";
    }
    void besideTheProgramOnlyWhereItCanWrite() {
        QFETCH(QString, program);
        const fs::path folder = home / program.toStdString();
        if (program != "gone") fs::create_directory(folder);
        if (program == "read-only") {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
            if (QTemporaryFile(Q(folder / "probe-XXXXXX")).open()) QSKIP("this user writes even to a read-only folder");
        }
        const fs::path working = tavrin::app::WorkingFolder(folder);
        if (program == "portable") {
            QCOMPARE(Q(working), Q(folder));
            QVERIFY(fs::is_empty(folder));  // the probe left nothing behind
            return;
        }
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QCOMPARE(Q(working), data);
        QVERIFY(fs::is_directory(working));
#ifdef Q_OS_LINUX
        QCOMPARE(Q(working), Q(home / "share/Tavrin/Tavrin"));
#endif
    }
};

QTEST_GUILESS_MAIN(WorkingFolderTest)
#include "WorkingFolderTest.moc"
