// When a play whose last sample is written has ended: never before its sound
// has been heard, never on a reading of the clock too old to show that the
// stream still moves, and without a round trip to the server at the end itself.
#include "playback/end_of_play.h"

#include <QTest>

using namespace vovozodo;

class EndOfPlayTest : public QObject {
    Q_OBJECT

private slots:
    void nextStep_data() {
        QTest::addColumn<qint64>("heard");
        QTest::addColumn<qint64>("age");
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("wait");
        // A play of 1 s, in microseconds.
        QTest::newRow("heard to the end on a fresh reading")
            << qint64(1'000'000) << qint64(5'000) << int(EndStep::Ended) << qint64(0);
        QTest::newRow("heard to the end on a stale reading: ask")
            << qint64(1'000'000) << qint64(30'000) << int(EndStep::AskNow) << qint64(0);
        QTest::newRow("a microsecond short: wait it out")
            << qint64(999'999) << qint64(0) << int(EndStep::Wait) << qint64(1);
        QTest::newRow("still fresh at the end: wait for the end")
            << qint64(990'000) << qint64(4'000) << int(EndStep::Wait) << qint64(10'000);
        QTest::newRow("far from the end: ask shortly before it")
            << qint64(800'000) << qint64(0) << int(EndStep::Wait) << qint64(190'000);
        QTest::newRow("no reading yet")
            << qint64(0) << qint64(-1) << int(EndStep::Wait) << qint64(990'000);
        QTest::newRow("stale, end close: ask now")
            << qint64(995'000) << qint64(50'000) << int(EndStep::AskNow) << qint64(0);
    }

    void nextStep() {
        QFETCH(qint64, heard);
        QFETCH(qint64, age);
        QFETCH(int, kind);
        QFETCH(qint64, wait);
        const EndStep step = nextEndStep(1'000'000, heard, age);
        QCOMPARE(int(step.kind), kind);
        if (step.kind == EndStep::Wait)
            QCOMPARE(step.waitUsecs, wait);
    }
};

QTEST_APPLESS_MAIN(EndOfPlayTest)
#include "tst_end_of_play.moc"
