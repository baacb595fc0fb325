#include <QtTest>
class tst_placeholder : public QObject { Q_OBJECT private Q_SLOTS: void t() { QVERIFY(true); } };
QTEST_MAIN(tst_placeholder)
#include "tst_placeholder.moc"
