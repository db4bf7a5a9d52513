// The progress window on its own: how UpdateBar accumulates, when it refuses
// a call, and what every showing starts from.

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QtTest>

#include "AppTestSupport.h"
#include "frmStatus.h"

using tavrin::apptest::InstallMessageFilter;

// QCOMPARE compares floats fuzzily; the bar's value must match to the bit.
#define QCOMPARE_EXACTLY(got, want)                                                          \
    do {                                                                                     \
        const float got_ = (got), want_ = (want);                                            \
        QVERIFY2(got_ == want_, qPrintable(QString::asprintf("%a (%.9g), expected %a (%.9g)", \
                                                             double(got_), double(got_),     \
                                                             double(want_), double(want_)))); \
    } while (false)

class StatusWindowTest : public QObject {
    Q_OBJECT

private:
    // Calls UpdateBar and tells whether it let pending events run: an event
    // is queued before the call, and it runs only if the call processes events.
    bool UpdateYielded(frmStatus& status, std::string_view text, double step) {
        const int before = delivered_;
        QMetaObject::invokeMethod(this, [this] { ++delivered_; }, Qt::QueuedConnection);
        status.UpdateBar(text, step);
        const bool yielded = delivered_ > before;
        QCoreApplication::sendPostedEvents(this);  // nothing left over for the next call
        return yielded;
    }

    int delivered_ = 0;

private slots:
    void initTestCase() { InstallMessageFilter(); }

    void stepsOfAHundredthPartEndAtOrJustBelow100_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<float>("expected");
        QTest::addColumn<int>("yields");
        // The sum of each call is taken in double precision from the bar's
        // single-precision value. Where the rounding of earlier calls leaves
        // the last sum a hair above 100, the last call is refused and the bar
        // stays one step short.
        QTest::newRow("1 call") << 1 << 100.0f << 1;
        QTest::newRow("3 calls") << 3 << 100.0f << 3;
        QTest::newRow("7 calls, the last refused") << 7 << 0x1.56db6ep+6f << 6;
        QTest::newRow("10 calls") << 10 << 100.0f << 10;
        QTest::newRow("49 calls, the last refused") << 49 << 0x1.87d63ep+6f << 48;
        QTest::newRow("1000 calls, drift below 100") << 1000 << 0x1.8fff06p+6f << 1000;
        QTest::newRow("65536 calls") << 65536 << 100.0f << 65536;
    }

    void stepsOfAHundredthPartEndAtOrJustBelow100() {
        QFETCH(int, n);
        QFETCH(float, expected);
        QFETCH(int, yields);
        frmStatus status;
        status.Show();
        const double step = 100.0 / n;
        int yielded = 0;
        for (int i = 0; i < n; ++i) yielded += UpdateYielded(status, "Loading League", step) ? 1 : 0;
        QCOMPARE_EXACTLY(status.value(), expected);
        QVERIFY(status.value() <= 100.0f);
        QCOMPARE(status.labelText(), QString("Updating: Loading League"));
        QCOMPARE(yielded, yields);
        status.Unload();
    }

    void aCallPastHundredIsIgnoredWhole() {
        frmStatus status;
        status.Show();

        // 0.1 is stored as the float just above 0.1; 99.9 on top of it passes
        // 100 in double precision, although the float sum would round to 100.
        QVERIFY(UpdateYielded(status, "Loading League", 0.1));
        QCOMPARE_EXACTLY(status.value(), 0.1f);
        QVERIFY(!UpdateYielded(status, "Saving", 99.9));
        QCOMPARE_EXACTLY(status.value(), 0.1f);
        QCOMPARE(status.labelText(), QString("Updating: Loading League"));

        // A step that fits is still taken afterwards.
        QVERIFY(UpdateYielded(status, "Saving", 99.8));
        QCOMPARE(status.labelText(), QString("Updating: Saving"));
        QCOMPARE_EXACTLY(status.value(), static_cast<float>(static_cast<double>(0.1f) + 99.8));
        status.Unload();

        // A step of 100 fills the bar in one call; every further step is refused.
        status.Show();
        QVERIFY(UpdateYielded(status, "Restoring Pots", 100.0));
        QCOMPARE_EXACTLY(status.value(), 100.0f);
        QVERIFY(!UpdateYielded(status, "Saving", 100.0));
        QVERIFY(!UpdateYielded(status, "Saving", 1e-9));
        QCOMPARE_EXACTLY(status.value(), 100.0f);
        QCOMPARE(status.labelText(), QString("Updating: Restoring Pots"));
        status.Unload();
    }

    void aStepOfZeroOnlyRelabelsAndYields() {
        frmStatus status;
        status.Show();
        QVERIFY(UpdateYielded(status, "Saving", 0.0));
        QCOMPARE(status.labelText(), QString("Updating: Saving"));
        QCOMPARE_EXACTLY(status.value(), 0.0f);
        // Also at a full bar: the sum is 100, not above it.
        QVERIFY(UpdateYielded(status, "Saving", 100.0));
        QVERIFY(UpdateYielded(status, "Restoring Pots", 0.0));
        QCOMPARE(status.labelText(), QString("Updating: Restoring Pots"));
        QCOMPARE_EXACTLY(status.value(), 100.0f);
        status.Unload();
    }

    void everyStepsTextShowsWhole() {
        frmStatus status;
        auto* label = status.findChild<QLabel*>("lblPosition");
        QVERIFY(label);
        QCOMPARE(label->font().pointSize(), 12);
        QVERIFY(!label->font().bold() && !label->font().italic());
        for (const char* text : {"Updating: Quarterbacks", "Updating: Loading League", "Updating: Restoring Pots",
                                 "Updating: Saving"})
            QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->width(), text);
    }

    void everyShowingStartsAfreshAndUnloadGivesThePointerBack() {
        frmStatus status;
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        for (int showing = 0; showing < 2; ++showing) {
            status.Show();
            QVERIFY(status.isVisible());
            QCOMPARE_EXACTLY(status.value(), 0.0f);
            QCOMPARE(status.labelText(), QString("Updating: Quarterbacks"));
            QVERIFY(QGuiApplication::overrideCursor() != nullptr);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            status.UpdateBar("Saving", 37.5);
            QCOMPARE_EXACTLY(status.value(), 37.5f);
            status.Unload();
            QVERIFY(!status.isVisible());
            QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        }

        // Showing a window that is already showing keeps its bar, and one
        // unload still brings the default pointer back.
        status.Show();
        status.UpdateBar("Saving", 10.0);
        status.Show();
        QCOMPARE_EXACTLY(status.value(), 10.0f);
        status.Unload();
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        status.Unload();  // a second unload is harmless
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(StatusWindowTest)
#include "StatusWindowTest.moc"
