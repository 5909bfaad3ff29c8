#include "excelengine.h"
#include <QtTest>
class TestExcelEngine : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestExcelEngine)
#include "tst_excelengine.moc"
