// Where Temp.mdb goes: beside the program only in a folder of the user's own
// (a copy they built or unpacked), else in the user's cache folder.

#include <QtTest>

#include "Fixture.h"
#include "run/WorkingFolder.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace fs = std::filesystem;

class WorkingFolderTest : public QObject {
    Q_OBJECT

    static QString Q(const fs::path& p) { return QString::fromStdU16String(p.u16string()); }

private slots:
    void besideTheProgramOnlyInAFolderOfTheUsersOwn() {
        tavrin::run::NameApplication();
        tavrin::test::TempDir home;
        qputenv("XDG_CACHE_HOME", Q(home / "cache").toUtf8());  // read on each call on Linux
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
#ifdef Q_OS_LINUX
        QCOMPARE(cache, Q(home / "cache/Tavrin/Tavrin"));
#endif
        // The user's own build folder keeps it, and no probe is left there.
        const fs::path own = home / "build";
        fs::create_directory(own);
        QCOMPARE(Q(tavrin::run::WorkingFolder(own)), Q(own));
        QVERIFY(fs::is_empty(own));

        // A folder SQLite cannot name (over 511 bytes with the file's name):
        // every run would fail at the import.
        const auto withPathOf = [&](std::size_t bytes, char c) {
            fs::path p = own;
            while (bytes - p.u8string().size() - 10 > 200) p /= std::string(200, c);
            p /= std::string(bytes - p.u8string().size() - 10, c);  // and "/Temp.mdb"
            fs::create_directories(p);
            return p;
        };
        const fs::path edge = withPathOf(511, 'e'), deep = withPathOf(512, 'd');
        QCOMPARE(Q(tavrin::run::WorkingFolder(edge)), Q(edge));

        std::vector<fs::path> elsewhere{home / "gone", deep};
#if !defined(_WIN32)
        // System folders, even where this user owns them and may write (root).
        for (const char* system : {"/usr/bin", "/usr/local/bin", "/opt/tavrin/bin"}) elsewhere.emplace_back(system);
        // A folder of another user's that this one may write to: handed to
        // nobody when running as root, else the shared /tmp (root's).
        const fs::path other = home / "other";
        fs::create_directory(other);
        fs::permissions(other, fs::perms::all);
        elsewhere.push_back(::chown(other.c_str(), 65534, 65534) == 0 ? other : fs::path("/tmp"));
#endif
        for (const fs::path& folder : elsewhere) {
            QVERIFY2(!tavrin::run::KeepsWorkingDatabaseBeside(folder), qPrintable(Q(folder)));
            QCOMPARE(Q(tavrin::run::WorkingFolder(folder)), cache);
        }
        QVERIFY(fs::is_directory(cache.toStdU16String()));
        QVERIFY(fs::is_empty(deep));
    }
};

QTEST_GUILESS_MAIN(WorkingFolderTest)
#include "WorkingFolderTest.moc"
