#include <QApplication>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void styleSheetStartsWithWhitePalette();
    void styleSheetIsAsciiAndParses();
    void styleSheetImagesExist();
    void lampImages_data();
    void lampImages();

private:
    static QByteArray styleSheetBytes();
};

QByteArray TestResources::styleSheetBytes()
{
    QFile f(QStringLiteral(":/qss/psblue.css"));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void TestResources::styleSheetStartsWithWhitePalette()
{
    // The start-up takes the palette colour by position, not by parsing.
    const QString css = QString::fromLatin1(styleSheetBytes());
    QVERIFY(css.startsWith(QStringLiteral("QPalette{background:#FFFFFF;}")));
    QColor colour;
    colour.setNamedColor(css.mid(20, 7));
    QVERIFY(colour.isValid());
    QCOMPARE(QPalette(colour).color(QPalette::Button), QColor(Qt::white));
}

void TestResources::styleSheetIsAsciiAndParses()
{
    const QByteArray bytes = styleSheetBytes();
    QVERIFY(bytes.size() > 1000);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        QVERIFY2(uchar(bytes.at(i)) < 0x80, qPrintable(QStringLiteral("non-ASCII byte at %1").arg(i)));

    // Qt reports a sheet it cannot parse only as a warning when a widget is polished.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("stylesheet|style sheet"),
                                            QRegularExpression::CaseInsensitiveOption));
    qApp->setStyleSheet(QString::fromLatin1(bytes));
    QPushButton button(QStringLiteral("OK"));
    button.show();
    button.ensurePolished();
    // A rule the theme promises: push buttons in light text on blue.
    QCOMPARE(button.palette().color(QPalette::ButtonText), QColor(QStringLiteral("#FFF0F5")));
    qApp->setStyleSheet(QString());
}

void TestResources::styleSheetImagesExist()
{
    const QString css = QString::fromLatin1(styleSheetBytes());
    const QRegularExpression url(QStringLiteral("url\\((:[^)]+)\\)"));
    int count = 0;
    for (auto it = url.globalMatch(css); it.hasNext(); ++count) {
        const QString path = it.next().captured(1);
        QVERIFY2(path.startsWith(QStringLiteral(":/qss/psblack/")), qPrintable(path));
        QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QVERIFY2(image.hasAlphaChannel(), qPrintable(path));
    }
    QVERIFY(count >= 10);
}

void TestResources::lampImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("green"); // else red
    QTest::newRow("on") << QStringLiteral(":/image/led_on.png") << true;
    QTest::newRow("off") << QStringLiteral(":/image/led_off.png") << false;
}

void TestResources::lampImages()
{
    QFETCH(QString, path);
    QFETCH(bool, green);
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(32, 32));
    QVERIFY(image.hasAlphaChannel());
    // Round: transparent in the corners, opaque in the middle.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(31, 31)), 0);
    const QColor centre = image.pixelColor(16, 16);
    QCOMPARE(centre.alpha(), 255);
    if (green)
        QVERIFY(centre.green() > 180 && centre.green() > centre.red() + 50 && centre.green() > centre.blue() + 50);
    else
        QVERIFY(centre.red() > centre.green() * 2 && centre.value() < 180);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
