// The event values' reader against Qt's JSON reader (QJsonDocument), an independent
// implementation: every member the replay asks for, as texts, numbers and arrays of numbers,
// with escapes, surrogate pairs, spacing, duplicates, and bytes that are not one object.
#include "historyjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>
#include <limits>

class tst_HistoryJson : public QObject
{
    Q_OBJECT
private slots:
    void asQtReadsIt_data();
    void asQtReadsIt();
};

void tst_HistoryJson::asQtReadsIt_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("an added row")
        << QByteArray(R"({"delta_e":5.39,"device_name":"CM-200","formula_index":0,"formula_text":"\u25b3E*ab",)"
                      R"("origin":"measured","origin_file":"","passed":0,"run":"0b7c-1","sequence":1,)"
                      R"("serial_number":"20231234","smp":[52,13,-15.5,20.6,308.1],"std":[50,10,-20,22.36,296.6],)"
                      R"("test_name":"Comp1","threshold":2,"threshold_text":"2.0","time_text":"2026/12/08  09:01",)"
                      R"("verdict":"NG"})");
    QTest::newRow("not known: nulls") << QByteArray(R"({"delta_e":null,"passed":null,"std":[null,1,null,2,3],"smp":[]})");
    QTest::newRow("escapes") << QByteArray(R"({"test_name":"a\"b\\c\/d\be\ff\ng\rh\ti","file":"C:\\x\\y.xls"})");
    QTest::newRow("beyond the BMP, and UTF-8 as it is")
        << QByteArray("{\"test_name\":\"\\ud83d\\ude00 \xe8\x89\xb2\xe5\xb7\xae \xf0\x9f\x8e\xa8\"}");
    QTest::newRow("numbers as JSON writes them")
        << QByteArray(R"({"a":-0,"b":1e-05,"c":1.5E+20,"d":-12.25e2,"e":123456789012,"f":0.1})");
    QTest::newRow("spacing") << QByteArray(" {\n \"state\" : \"deleted\" ,\t\"file\":\"x\"\r\n} \n");
    QTest::newRow("the last of two wins") << QByteArray(R"({"state":"in_table","state":"deleted"})");
    QTest::newRow("other kinds where numbers or texts are asked for")
        << QByteArray(R"({"delta_e":"5.3","verdict":7,"passed":true,"std":{"x":1},"smp":[1,"2",[3],{"a":4},5,6],"run":false})");
    QTest::newRow("a nested value passed over") << QByteArray(R"({"x":{"y":[1,{"z":"}"}]},"state":"cleared"})");
    QTest::newRow("empty") << QByteArray("{}");
    QTest::newRow("not an object") << QByteArray(R"(["state","deleted"])");
    QTest::newRow("cut short") << QByteArray(R"({"state":"del)");
    QTest::newRow("trailing bytes") << QByteArray(R"({"state":"deleted"}x)");
    QTest::newRow("a number JSON does not write") << QByteArray(R"({"delta_e":01.5,"state":"deleted"})");
    QTest::newRow("a bad escape") << QByteArray(R"({"state":"dele\qted"})");
    QTest::newRow("a control character in a text") << QByteArray("{\"state\":\"dele\nted\"}");
    QTest::newRow("a missing comma") << QByteArray(R"({"state":"deleted" "file":"x"})");
    QTest::newRow("not UTF-8") << QByteArray("{\"state\":\"dele\xffted\"}");
    QTest::newRow("an overlong form") << QByteArray("{\"state\":\"\xc0\xafx\"}");
    QTest::newRow("a surrogate in UTF-8") << QByteArray("{\"state\":\"\xed\xa0\x80\"}");
    QTest::newRow("cut inside a character") << QByteArray("{\"state\":\"\xe8\x89\"}");
    QTest::newRow("a number too large") << QByteArray(R"({"delta_e":1e400})");
    QTest::newRow("nothing") << QByteArray();
}

void tst_HistoryJson::asQtReadsIt()
{
    QFETCH(QByteArray, json);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    const QJsonObject qt = document.object();
    HistoryJsonObject ours;
    QCOMPARE(ours.parse(json), error.error == QJsonParseError::NoError && document.isObject());
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (const char *key : {"delta_e", "device_name", "formula_index", "formula_text", "origin", "origin_file",
                            "passed", "run", "sequence", "serial_number", "smp", "std", "test_name", "threshold",
                            "threshold_text", "time_text", "verdict", "state", "file", "a", "b", "c", "d", "e",
                            "f", "x", "missing"}) {
        const QJsonValue value = qt.value(QLatin1String(key));
        QVERIFY2(ours.contains(key) == qt.contains(QLatin1String(key)), key);
        QVERIFY2(ours.text(key) == value.toString(), qPrintable(QStringLiteral("%1: %2").arg(key, ours.text(key))));
        const double number = value.isDouble() ? value.toDouble() : nan;
        QVERIFY2(same(ours.number(key, nan), number), qPrintable(QStringLiteral("%1: %2").arg(key).arg(ours.number(key, nan))));
        double values[5];
        ours.numbers(key, values, 5, nan);
        const QJsonArray array = value.toArray();
        for (int i = 0; i < 5; ++i) {
            const QJsonValue element = array.at(i);
            QVERIFY2(same(values[i], element.isDouble() ? element.toDouble() : nan),
                     qPrintable(QStringLiteral("%1[%2]: %3").arg(key).arg(i).arg(values[i])));
        }
    }
}

QTEST_GUILESS_MAIN(tst_HistoryJson)
#include "tst_historyjson.moc"
