// The udev rule that ships with the program against the identity the program opens, so the two
// cannot drift apart; and the command the permission message offers.
#include "instrumentcore.h"
#include "udevrule.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Assignment
{
    QString key;
    QString op;
    QString value;
};

// The rule's active lines: comments and blank lines dropped, continuation lines joined.
QStringList ruleLines(const QByteArray &text)
{
    QStringList lines;
    QString pending;
    for (const QString &raw : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('#')) || (line.isEmpty() && pending.isEmpty()))
            continue;
        if (line.endsWith(QLatin1Char('\\'))) {
            pending += line.chopped(1);
            continue;
        }
        pending += line;
        if (!pending.isEmpty())
            lines << pending;
        pending.clear();
    }
    return lines;
}

// KEY{attr}=="value" pairs of one line, in order; an empty list when something does not parse.
QList<Assignment> assignments(const QString &line)
{
    static const QRegularExpression pair(
        QStringLiteral("^\\s*([A-Z_]+(?:\\{[A-Za-z_]+\\})?)\\s*(==|!=|\\+=|-=|:=|=)\\s*\"([^\"]*)\"\\s*(,|$)"));
    QList<Assignment> out;
    qsizetype pos = 0;
    while (pos < line.size()) {
        const QRegularExpressionMatch m = pair.match(line.mid(pos));
        if (!m.hasMatch())
            return {};
        out.append({m.captured(1), m.captured(2), m.captured(3)});
        pos += m.capturedLength(0);
    }
    return out;
}

QString hex4(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

class tst_UdevRule : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void matchesTheInstrumentTheProgramOpens();
    void grantsTheSeatUserOnly();
    void sortsBeforeTheSeatRules();
    void programSuggestsTheShippedRule();
    void fixCommand_data();
    void fixCommand();

private:
    QByteArray ruleText;
};

void tst_UdevRule::initTestCase()
{
    QFile file(QStringLiteral(COLORIMETER_UDEV_RULE));
    QVERIFY2(file.open(QFile::ReadOnly), COLORIMETER_UDEV_RULE);
    ruleText = file.readAll();
}

void tst_UdevRule::matchesTheInstrumentTheProgramOpens()
{
    // The virtual instrument stands for the real one: both carry the same identity.
    QCOMPARE(udevrule::kVendorId, InstrumentCore::kVendorId);
    QCOMPARE(udevrule::kProductId, InstrumentCore::kProductId);

    const QStringList lines = ruleLines(ruleText);
    QCOMPARE(lines.size(), 1);
    const QList<Assignment> parts = assignments(lines.first());
    QVERIFY2(!parts.isEmpty(), qPrintable(lines.first()));
    QHash<QString, Assignment> byKey;
    for (const Assignment &a : parts)
        byKey.insert(a.key, a);
    QCOMPARE(byKey.value(QStringLiteral("SUBSYSTEM")).op, QStringLiteral("=="));
    QCOMPARE(byKey.value(QStringLiteral("SUBSYSTEM")).value, QStringLiteral("hidraw"));
    // ATTRS walks up to the USB device; udev compares the four lower-case hex digits of sysfs.
    QCOMPARE(byKey.value(QStringLiteral("ATTRS{idVendor}")).op, QStringLiteral("=="));
    QCOMPARE(byKey.value(QStringLiteral("ATTRS{idVendor}")).value, hex4(udevrule::kVendorId));
    QCOMPARE(byKey.value(QStringLiteral("ATTRS{idProduct}")).op, QStringLiteral("=="));
    QCOMPARE(byKey.value(QStringLiteral("ATTRS{idProduct}")).value, hex4(udevrule::kProductId));
}

void tst_UdevRule::grantsTheSeatUserOnly()
{
    const QList<Assignment> parts = assignments(ruleLines(ruleText).value(0));
    bool uaccess = false;
    for (const Assignment &a : parts) {
        if (a.key == QLatin1String("TAG") && a.op == QLatin1String("+=") && a.value == QLatin1String("uaccess"))
            uaccess = true;
        // Access goes through the seat's ACL, never through a mode, a group or an owner.
        QVERIFY2(a.key != QLatin1String("MODE") && a.key != QLatin1String("GROUP")
                     && a.key != QLatin1String("OWNER"),
                 qPrintable(a.key));
    }
    QVERIFY(uaccess);
}

void tst_UdevRule::sortsBeforeTheSeatRules()
{
    const QString name = QFileInfo(QStringLiteral(COLORIMETER_UDEV_RULE)).fileName();
    QCOMPARE(name, udevrule::fileName());
    QVERIFY(name.endsWith(QLatin1String(".rules")));
    // 73-seat-late.rules turns the uaccess tag into an ACL; a rule read after it is too late.
    QVERIFY(QString::compare(name, QStringLiteral("73-seat-late.rules")) < 0);
    QVERIFY(QString::compare(name, QStringLiteral("60-")) > 0); // after the base hidraw rules
}

void tst_UdevRule::programSuggestsTheShippedRule()
{
    QCOMPARE(udevrule::ruleLine(), ruleLines(ruleText).value(0));
}

void tst_UdevRule::fixCommand_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("rule installed: reload and trigger") << true;
    QTest::newRow("rule missing: write it, then reload and trigger") << false;
}

void tst_UdevRule::fixCommand()
{
    QFETCH(bool, installed);
    QTemporaryDir lib, etc;
    if (installed) {
        QFile rule(etc.filePath(udevrule::fileName()));
        QVERIFY(rule.open(QFile::WriteOnly));
    }
    const QString found = udevrule::installedRule({lib.path(), etc.path()});
    QCOMPARE(found.isEmpty(), !installed);
    const QString command = udevrule::fixCommand(found);
    QVERIFY(command.endsWith(udevrule::reloadCommand()));
    QVERIFY(command.contains(QLatin1String("udevadm trigger --subsystem-match=hidraw")));
    if (installed) {
        QCOMPARE(command, udevrule::reloadCommand());
    } else {
        // The rule travels in single quotes: it must hold none itself.
        QVERIFY(!udevrule::ruleLine().contains(QLatin1Char('\'')));
        QVERIFY(command.startsWith(QStringLiteral("echo '%1' | sudo tee /etc/udev/rules.d/%2 && ")
                                       .arg(udevrule::ruleLine(), udevrule::fileName())));
    }
}

QTEST_GUILESS_MAIN(tst_UdevRule)
#include "tst_udevrule.moc"
