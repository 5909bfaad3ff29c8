#include <QtTest>
class tst_MeasurementPage : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(tst_MeasurementPage)
#include "tst_measurementpage.moc"
