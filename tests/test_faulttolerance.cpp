#include <QtTest>
class TestFaultTolerance : public QObject { Q_OBJECT };
QTEST_MAIN(TestFaultTolerance)
#include "test_faulttolerance.moc"
