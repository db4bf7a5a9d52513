// The progress window on its own: how UpdateBar adds up, which calls it
// refuses whole, and what every showing starts from.

#include "AppTest.h"

// Calls UpdateBar and tells whether it let pending events run.
static bool Yields(tavrin::window::ProgressWindow& status, const char* text, double step) {
    bool ran = false;
    QMetaObject::invokeMethod(&status, [&ran] { ran = true; }, Qt::QueuedConnection);
    status.UpdateBar(text, step);
    const bool yielded = ran;
    QCoreApplication::sendPostedEvents(&status, QEvent::MetaCall);  // nothing left for the next call
    return yielded;
}

class StatusWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tavrin::apptest::QuietOffscreen(); }

    void nStepsOfAnNthEndAtOrJustBelow100_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<float>("value");
        // The sum is taken in double from the bar's float value. Where the
        // rounding of earlier steps leaves the last sum a hair above 100, the
        // last call is refused and the bar stays a step short.
        QTest::newRow("1") << 1 << 100.0f;
        QTest::newRow("3") << 3 << 100.0f;
        QTest::newRow("7, the last refused") << 7 << 0x1.56db6ep+6f;
        QTest::newRow("49, the last refused") << 49 << 0x1.87d63ep+6f;
        QTest::newRow("1000, drifting below") << 1000 << 0x1.8fff06p+6f;
    }
    void nStepsOfAnNthEndAtOrJustBelow100() {
        QFETCH(int, n);
        QFETCH(float, value);
        tavrin::window::ProgressWindow status;
        status.Show();
        for (int i = 0; i < n; ++i) status.UpdateBar("Loading League", 100.0 / n);
        QVERIFY2(status.value() == value, qPrintable(QString::asprintf("%a", double(status.value()))));
        QCOMPARE(status.labelText(), QString("Updating: Loading League"));
    }

    void refusedCallsChangeNothingAndEveryShowingStartsAfresh() {
        tavrin::window::ProgressWindow status;
        for (int showing = 0; showing < 2; ++showing) {
            status.Show();
            const QCursor* pointer = QGuiApplication::overrideCursor();
            QVERIFY(pointer && pointer->shape() == Qt::WaitCursor && status.isVisible() && status.value() == 0.0f);
            QCOMPARE(status.labelText(), QString("Updating: Quarterbacks"));
            // 0.1 is kept as the float just above 0.1; 99.9 on top of it passes
            // 100 in double, although the float sum would round to 100.
            QVERIFY(Yields(status, "Loading League", 0.1) && !Yields(status, "Saving", 99.9) && status.value() == 0.1f);
            QCOMPARE(status.labelText(), QString("Updating: Loading League"));
            // A step of 0 only relabels; within a frame of the last yield it
            // does not yield, after one it does.
            QVERIFY(!Yields(status, "Saving", 0.0) && status.value() == 0.1f);
            QCOMPARE(status.labelText(), QString("Updating: Saving"));
            QTest::qWait(20);
            QVERIFY(Yields(status, "Saving", 0.0));
            // The last call of a step (the next would pass 100) always yields.
            QVERIFY(Yields(status, "Restoring Pots", 99.8) && !Yields(status, "Saving", 100.0));
            QTest::qWait(20);
            QVERIFY(Yields(status, "Restoring Pots", 0.0) && status.value() > 99.8f);
            status.Unload();
            QVERIFY(!status.isVisible() && !QGuiApplication::overrideCursor());
        }
        status.Show();  // a step of 100 fills the bar, and only once
        QVERIFY(Yields(status, "Saving", 100.0) && !Yields(status, "Saving", 100.0) && status.value() == 100.0f);
    }

    // A step of many players yields at its start, at its end, and about once
    // a frame between: not once per player.
    void aLongStepYieldsAtScreenRate() {
        tavrin::window::ProgressWindow status;
        status.Show();
        QElapsedTimer clock;
        clock.start();
        int yields = 0;
        const int n = 20000;
        for (int i = 0; i < n; ++i)
            if (Yields(status, "Loading League", 100.0 / n)) ++yields;
        QVERIFY(status.value() > 99.9f);
        QVERIFY2(yields >= 2 && yields <= 2 + clock.elapsed() / 16 + 1, qPrintable(QString::number(yields)));
        status.Unload();
    }
};

QTEST_MAIN(StatusWindowTest)
#include "ProgressWindowTest.moc"
