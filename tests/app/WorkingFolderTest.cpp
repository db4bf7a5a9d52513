// Where Temp.mdb goes: beside the program when this user can write there (a
// portable copy), else in the user's data folder (an installed copy).

#include <QtTest>

#include "Fixture.h"
#include "app/WorkingFolder.h"

class WorkingFolderTest : public QObject {
    Q_OBJECT

private slots:
    void besideTheProgramOnlyWhereItCanWrite() {
        tavrin::app::NameApplication();
        tavrin::test::TempDir home;
        const auto Q = [](const std::filesystem::path& p) { return QString::fromStdU16String(p.u16string()); };
        qputenv("XDG_DATA_HOME", Q(home / "share").toUtf8());  // read on each call on Linux
        // A folder the user cannot make files in: here, one that is not there.
        const std::filesystem::path data = tavrin::app::WorkingFolder(home / "gone");
        QCOMPARE(Q(data), QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
        QVERIFY(std::filesystem::is_directory(data));
#ifdef Q_OS_LINUX
        QCOMPARE(Q(data), Q(home / "share/Tavrin/Tavrin"));
#endif
        QCOMPARE(Q(tavrin::app::WorkingFolder(home.path())), Q(home.path()));
        QCOMPARE(QDir(Q(home.path())).entryList(QDir::Files | QDir::Hidden), QStringList());  // no probe left behind
    }
};

QTEST_GUILESS_MAIN(WorkingFolderTest)
#include "WorkingFolderTest.moc"
