// The transfers between the instrument's libraries, spreadsheets and the table, against the
// virtual instrument: what reaches the wire and the instrument's memory byte for byte, what the
// sheets hold afterwards, every failure message, and the link lock across dialogs and unplugs.
// Dialogs and message boxes are scripted.
#include "clinker.h"
#include "cprotocol.h"
#include "crc16.h"
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "instrumentname.h"
#include "linklock.h"
#include "linkport.h"
#include "measurementtablemodel.h"
#include "scriptedmodal.h"
#include "seed.h"
#include "testsupport.h"
#include "transfercells.h"
#include "virtualinstrument.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <functional>

namespace {

using testsupport::hexBytes;

QByteArray le16(int value)
{
    QByteArray b;
    transfer::appendLe16(&b, value);
    return b;
}

quint16 crcOf(const QByteArray &bytes)
{
    return crc16Modbus(bytes.constData(), bytes.size());
}

// One request as the instrument received it.
struct Sent
{
    int function = 0;
    quint32 address = 0;
    int length = 0;
};

QList<Sent> sentFrames(const QList<QByteArray> &frames, int function)
{
    QList<Sent> out;
    for (const QByteArray &f : frames) {
        if (f.size() < 8 || quint8(f.at(1)) != function)
            continue;
        Sent s;
        s.function = function;
        s.address = quint32(quint8(f.at(2))) | quint32(quint8(f.at(3))) << 8 | quint32(quint8(f.at(4))) << 16
            | quint32(quint8(f.at(5))) << 24;
        s.length = quint8(f.at(6)) | quint8(f.at(7)) << 8;
        out.append(s);
    }
    return out;
}

QString packetList(const QList<Sent> &sent)
{
    QStringList parts;
    for (const Sent &s : sent)
        parts << QStringLiteral("%1:%2").arg(s.address, 0, 16).arg(s.length);
    return parts.join(QLatin1Char(' '));
}

using testsupport::readSheet;
using testsupport::writeSheet;

QString fixture(const QString &name)
{
    return qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data/") + name;
}

const QString kModel = QStringLiteral("Bench unit 3001");

// The card records make_transfer_sheets.py laid out for a sheet: record and check value, 38
// bytes per card, in card order.
QList<QByteArray> expectedCards(const QString &sheet)
{
    QFile file(fixture(QStringLiteral("openpyxl/cards_expected.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<QByteArray> cards;
    while (!file.atEnd()) {
        const QList<QByteArray> parts = file.readLine().trimmed().split(' ');
        if (parts.size() == 3 && QString::fromUtf8(parts.at(0)) == sheet)
            cards.append(QByteArray::fromHex(parts.at(2)));
    }
    return cards;
}

// A standard colour card sheet: cards with the given colour counts, colour i named "C<i>" with
// L* = i/100 + 1, a* = -i/100, b* = 0.5; rows = how many rows the colour area has.
CellRows stdColorSheet(const QList<int> &cardColours, int colourRows = -1, const QString &model = kModel)
{
    CellRows rows;
    rows.append({model, QString(), QString(), QString(), QString()}); // the width of the block
    const int n = int(cardColours.size());
    rows.append({double(n), double(crcOf(le16(n)))});
    int total = 0;
    for (int j = 0; j < n; ++j) {
        const QString n1 = QStringLiteral("Card %1").arg(j);
        // Laid out here, not by the program: ASCII names, zero bytes up to 16.
        const QByteArray record = n1.toLatin1() + QByteArray(16 - int(n1.size()), '\0') + QByteArray("x")
            + QByteArray(15, '\0') + le16(cardColours.at(j)) + le16(j);
        rows.append({n1, QStringLiteral("x"), double(cardColours.at(j)), double(j), double(crcOf(record))});
        total += cardColours.at(j);
    }
    while (rows.size() < 49)
        rows.append({QString()});
    if (colourRows < 0)
        colourRows = total;
    for (int i = 0; i < colourRows; ++i)
        rows.append({QStringLiteral("C%1").arg(i), QString::number(1 + i / 100.0), QString::number(-i / 100.0),
                     0.5});
    return rows;
}

QByteArray stdColorStream(int colours)
{
    QByteArray names, values;
    for (int i = 0; i < colours; ++i) {
        names += instrumentNameField(QStringLiteral("C%1").arg(i), 20);
        values += le16(100 + i) + le16(-i) + le16(50);
    }
    return names + values;
}

CellRows myColorSheet(int n, const QString &model = kModel, int rowsPresent = -1)
{
    const QByteArray header = QByteArray::fromHex("07000000") + le16(n) + le16(3);
    CellRows rows;
    rows.append({model, QString(), QString(), QString()});
    rows.append({7.0, double(n), 3.0, double(crcOf(header))});
    rows.append({QString(), QString(), QString(), QString()});
    rows.append({QStringLiteral("name"), QStringLiteral("L*"), QStringLiteral("a*"), QStringLiteral("b*")});
    if (rowsPresent < 0)
        rowsPresent = n;
    for (int i = 0; i < rowsPresent; ++i)
        rows.append({QStringLiteral("M%1").arg(i), transfer::hundredthsText(i), transfer::hundredthsText(-i),
                     transfer::hundredthsText(2 * i)});
    return rows;
}

// The scripted handler, with a hook that runs while a file dialog is open.
class HookedModal : public ScriptedModal
{
public:
    std::function<void()> whileFileDialogOpen;
    // The answer of the next save dialog, made from the name it suggests (as the user who keeps it).
    std::function<QString(const QString &suggested)> saveAs;
    QString fileName(ModalKind kind, QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) override
    {
        if (whileFileDialogOpen)
            whileFileDialogOpen();
        if (kind == ModalKind::SaveFileName && saveAs) {
            answerSaveFile(saveAs(dir));
            saveAs = nullptr;
        }
        return ScriptedModal::fileName(kind, parent, caption, dir, filter);
    }
};

} // namespace

class tst_Transfers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void hundredths_data();
    void hundredths();
    void instrumentNames_data();
    void instrumentNames();

    void stdColorFixtures_data();
    void stdColorFixtures();
    void stdColorCardRecords_data();
    void stdColorCardRecords();
    void stdColorPackets_data();
    void stdColorPackets();
    void stdColorRefusedBeforeWriting_data();
    void stdColorRefusedBeforeWriting();
    void stdColorFailures_data();
    void stdColorFailures();

    void myColorDownload_data();
    void myColorDownload();
    void myColorDownloadKeepsOtherCells();
    void myColorDownloadFileName_data();
    void myColorDownloadFileName();
    void myColorRoundTrip();
    void myColorFixtures_data();
    void myColorFixtures();
    void myColorUploadPackets_data();
    void myColorUploadPackets();
    void myColorFailures_data();
    void myColorFailures();
    void myColorRefusedBeforeWriting_data();
    void myColorRefusedBeforeWriting();

    void withoutLinkNothingHappens_data();
    void withoutLinkNothingHappens();
    void instrumentGoneWhileChoosingTheFile_data();
    void instrumentGoneWhileChoosingTheFile();
    void unknownModelMatchesNoSheet();
    void sheetWithoutRows_data();
    void sheetWithoutRows();
    void myColorSheetNotWritten();
    void recordPackets_data();
    void recordPackets();
    void recordValues();
    void recordsWithUnknownParameters_data();
    void recordsWithUnknownParameters();
    void askFirst_data();
    void askFirst();
    void recordFailures_data();
    void recordFailures();
    void messagesInChinese();
    void unplugDuringTransfer_data();
    void unplugDuringTransfer();
    void replugDuringUploadWaitsForTheLock();

private:
    void reconnect();
    // Runs flow; after the frame-th request the instrument reacts with action.
    void onFrame(int frame, std::function<void()> action);
    QStringList messages() const;
    QTableView *table() const { return testsupport::measurementTable(page); }

    QTemporaryDir dir;
    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    HookedModal *modal = nullptr;
    FirstPageForTesk *page = nullptr;
    int framesSeen = 0;
};

void tst_Transfers::init()
{
    QVERIFY(dir.isValid());
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    port = new LinkPort;
    LinkPort::setCurrent(port);
    reconnect();
    modal = new HookedModal;
    page = new FirstPageForTesk;
    page->deviceName = kModel;
    page->openThreadSlot();
    framesSeen = 0;
}

void tst_Transfers::cleanup()
{
    delete page;
    page = nullptr;
    delete modal;
    testsupport::releaseInstrument(port, vi);
    // Every way out of a flow gives the lock back.
    QVERIFY(linkLock().tryLock());
    linkLock().unlock();
}

void tst_Transfers::reconnect()
{
    // As the window does: the worker stops before its link goes, and starts on the new one.
    if (page)
        page->closeThreadSlot();
    delete port->link;
    port->link = testsupport::openedLink(vi);
    QVERIFY(port->link);
    vi->clearLog();
    if (page)
        page->openThreadSlot();
}

void tst_Transfers::onFrame(int frame, std::function<void()> action)
{
    connect(vi, &VirtualInstrument::frameReceived, this, [this, frame, action](const QByteArray &) {
        if (++framesSeen == frame)
            action();
    }, Qt::DirectConnection);
}

QStringList tst_Transfers::messages() const
{
    QStringList out;
    for (const ModalCall &c : modal->calls()) {
        if (c.kind == ModalKind::Information || c.kind == ModalKind::Warning || c.kind == ModalKind::Question)
            out << modalKindName(c.kind) + QStringLiteral(": ") + c.title + QStringLiteral(": ") + c.text;
    }
    return out;
}

void tst_Transfers::hundredths_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // when it fits the instrument's 16 bits
    QTest::addColumn<bool>("fits");
    QTest::newRow("four decimals cut") << "50.1234" << 5012 << true;
    QTest::newRow("one decimal") << "-3.5" << -350 << true;
    QTest::newRow("integer") << "12" << 1200 << true;
    QTest::newRow("small") << "0.05" << 5 << true;
    QTest::newRow("negative below one") << "-0.5" << -50 << true;
    QTest::newRow("negative hundredths") << "-0.05" << -5 << true;
    QTest::newRow("cut, not rounded") << "12.999" << 1299 << true;
    QTest::newRow("second point ends the fraction") << "1.2.3" << 120 << true;
    QTest::newRow("no integer part") << ".5" << 50 << true;
    QTest::newRow("words") << "abc" << 0 << true;
    QTest::newRow("empty") << "" << 0 << true;
    QTest::newRow("exponent") << "1e-05" << 0 << true;
    QTest::newRow("largest") << "327.679" << 32767 << true;
    QTest::newRow("smallest") << "-327.68" << -32768 << true;
    QTest::newRow("one hundredth above") << "327.68" << 0 << false;
    QTest::newRow("one hundredth below") << "-327.69" << 0 << false;
    QTest::newRow("400") << "400" << 0 << false;
    QTest::newRow("beyond 64 bits") << "123456789012345678901234" << 0 << false;
}

void tst_Transfers::hundredths()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(bool, fits);
    QCOMPARE(transfer::hundredthsFit16(text), fits);
    if (fits)
        QCOMPARE(transfer::hundredthsFromText(text), value);
}

void tst_Transfers::instrumentNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("ASCII padded") << "Ivory" << 14 << QByteArray("Ivory") + QByteArray(9, '\0') << "Ivory";
    QTest::newRow("exactly 14, no zero byte") << "Fourteen bytes" << 14 << QByteArray("Fourteen bytes")
                                              << "Fourteen bytes";
    QTest::newRow("ASCII cut") << "A longer name than fits" << 14 << QByteArray("A longer name ") << "A longer name ";
    QTest::newRow("Chinese in GBK") << QString::fromUtf8("红色样品") << 14
                                    << hexBytes("baecc9abd1f9c6b7") + QByteArray(6, '\0')
                                    << QString::fromUtf8("红色样品");
    QTest::newRow("Chinese cut at a whole character")
        << QString::fromUtf8("A红色样品红色样品") << 14 << QByteArray("A") + hexBytes("baecc9abd1f9c6b7baecc9ab")
               + QByteArray(1, '\0')
        << QString::fromUtf8("A红色样品红色");
    QTest::newRow("outside GBK") << QString::fromUtf8("x\u20AC\U0001F600") << 6
                                 << hexBytes("7880") + QByteArray("?") + QByteArray(3, '\0')
                                 << QString::fromUtf8("x\u20AC?");
}

void tst_Transfers::instrumentNames()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QByteArray, field);
    QFETCH(QString, readBack);
    QCOMPARE(instrumentNameField(name, size).toHex(' '), field.toHex(' '));
    QCOMPARE(instrumentNameText(field), readBack);
}

void tst_Transfers::stdColorFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("python3-openpyxl") << fixture(QStringLiteral("openpyxl/StdColor.xlsx"));
    QTest::newRow("LibreOffice") << fixture(QStringLiteral("lo/StdColor.xlsx"));
}

void tst_Transfers::stdColorFixtures()
{
    QFETCH(QString, file);
    modal->answerOpenFile(file);
    page->on_writeStdColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write to standard color card library successfully!")});
    QCOMPARE(modal->calls(ModalKind::OpenFileName).at(0).title, QStringLiteral("Select one Excel files to open"));
    QCOMPARE(modal->calls(ModalKind::OpenFileName).at(0).filter, QStringLiteral("excel file (*.xlsx)"));

    QCOMPARE(vi->memory(0x2F00, 4), le16(2) + le16(crcOf(le16(2))));
    // The card names as UTF-8, one of them Chinese (stdColorCardRecords has the edges).
    const QList<QByteArray> cards = expectedCards(QStringLiteral("StdColor.xlsx"));
    QCOMPARE(cards.size(), 2);
    QCOMPARE(vi->memory(0x2000, 38).toHex(' '), cards.at(0).toHex(' '));
    QCOMPARE(vi->memory(0x2030, 38).toHex(' '), cards.at(1).toHex(' '));

    // Names in fields of 20 bytes (long ones cut at a whole character), then the values.
    const char *names[] = {"White tile", "Red sample", nullptr, "A name far longer th", nullptr,
                           "Slate", "Teal", "Brick", "Ivory", "Last"};
    QByteArray expected;
    for (int i = 0; i < 10; ++i) {
        if (i == 2)
            expected += hexBytes("baecc9abd1f9c6b7") + QByteArray(12, '\0');
        else if (i == 4)
            expected += hexBytes("41d6d0cec4c3fbd7d6d6d0cec4c3fbd7d6d6d0") + QByteArray(1, '\0');
        else
            expected += QByteArray(names[i]) + QByteArray(20 - int(qstrlen(names[i])), '\0');
    }
    const int values[][3] = {{9550, -25, 175}, {5012, -350, 1200}, {5, -50, 1299}, {-5, 4550, 10000},
                             {120, 0, 0},      {4019, -210, -980}, {5233, -3050, -1234},
                             {4507, 3311, 2876}, {9120, -105, 1240}, {0, 0, 0}};
    for (const auto &v : values)
        expected += le16(v[0]) + le16(v[1]) + le16(v[2]);
    QCOMPARE(expected.size(), 260);
    QCOMPARE(vi->memory(0x40000, 262).toHex(' '), (expected + hexBytes("ffff")).toHex(' '));
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x74)), QStringLiteral("40000:256 40100:4 40104:0"));
}

void tst_Transfers::stdColorCardRecords_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheet"); // its lines in cards_expected.txt
    QTest::newRow("Chinese names, python3-openpyxl") << "openpyxl/StdColor.xlsx" << "StdColor.xlsx";
    QTest::newRow("Chinese names, LibreOffice") << "lo/StdColor.xlsx" << "StdColor.xlsx";
    QTest::newRow("names of exactly 16 bytes") << "openpyxl/cards_exact16.xlsx" << "cards_exact16.xlsx";
    QTest::newRow("check values that prove GBK") << "openpyxl/cards_gbk.xlsx" << "cards_gbk.xlsx";
}

void tst_Transfers::stdColorCardRecords()
{
    QFETCH(QString, file);
    QFETCH(QString, sheet);
    const QString path = dir.filePath(QStringLiteral("StdColor.xlsx"));
    QFile::remove(path);
    QVERIFY(QFile::copy(fixture(file), path));
    modal->answerOpenFile(path);
    page->on_writeStdColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write to standard color card library successfully!")});
    const QList<QByteArray> cards = expectedCards(sheet);
    QCOMPARE(cards.size(), 2);
    for (int j = 0; j < cards.size(); ++j)
        QCOMPARE(vi->memory(0x2000 + 48 * quint32(j), 38).toHex(' '), cards.at(j).toHex(' '));
    // Each record went once, in card order, after the count.
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x70)), QStringLiteral("2f00:4 2000:38 2030:38"));
}

void tst_Transfers::stdColorPackets_data()
{
    QTest::addColumn<QList<int>>("cards");
    QTest::addColumn<QString>("packets");
    QTest::addColumn<int>("progressMax");
    QTest::newRow("S = 0") << QList<int>{0, 0} << "40000:0" << 0;
    QTest::newRow("S = 10") << QList<int>{10} << "40000:256 40100:4 40104:0" << 2;
    QTest::newRow("S = 128, whole packets")
        << QList<int>{100, 28}
        << "40000:256 40100:256 40200:256 40300:256 40400:256 40500:256 40600:256 40700:256 "
           "40800:256 40900:256 40a00:256 40b00:256 40c00:256 40d00:0"
        << 13;
    QTest::newRow("47 cards") << QList<int>(47, 1) << "40000:256 40100:256 40200:256 40300:256 40400:198 404c6:0"
                              << 5;
}

void tst_Transfers::stdColorPackets()
{
    QFETCH(QList<int>, cards);
    QFETCH(QString, packets);
    QFETCH(int, progressMax);
    int colours = 0;
    for (int c : cards)
        colours += c;
    const QString path = dir.filePath(QStringLiteral("StdColor.xlsx"));
    QFile::remove(path);
    // Two rows more than the colours: they are not sent.
    QVERIFY(writeSheet(path, stdColorSheet(cards, colours + 2)));
    modal->answerOpenFile(path);
    page->on_writeStdColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write to standard color card library successfully!")});
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x74)), packets);
    QCOMPARE(sentFrames(vi->receivedFrames(), 0x70).size(), cards.size() + 1);
    const QByteArray lastCard = QStringLiteral("Card %1").arg(cards.size() - 1).toLatin1();
    QCOMPARE(vi->memory(0x2000 + 48 * quint32(cards.size() - 1), 16), lastCard + QByteArray(16 - lastCard.size(), '\0'));
    const QByteArray stream = stdColorStream(colours);
    QCOMPARE(vi->memory(0x40000, int(stream.size()) + 2), stream + hexBytes("ffff"));
    QCOMPARE(modal->progresses().size(), 1);
    const auto &progress = *modal->progresses().at(0);
    QCOMPARE(progress.labelText, QStringLiteral("Storing data,please wait..."));
    QCOMPARE(progress.cancelText, QStringLiteral("cancel"));
    QCOMPARE(progress.minimum, 0);
    QCOMPARE(progress.maximum, progressMax);
    QCOMPARE(progress.value(), progressMax);
    QVERIFY(progress.hidden);
}

void tst_Transfers::stdColorRefusedBeforeWriting_data()
{
    QTest::addColumn<QString>("file"); // empty: made from sheet
    QTest::addColumn<CellRows>("sheet");
    QTest::addColumn<QString>("message");
    QTest::newRow("lower-case file name") << fixture(QStringLiteral("lower/stdcolor.xlsx")) << CellRows()
                                          << "warning: Error: File error, unable to write!";
    QTest::newRow("another model") << QString() << stdColorSheet({3}, -1, QStringLiteral("Bench unit 3002"))
                                   << "warning: Error: The written contents do not match and cannot be written!";
    QTest::newRow("48 cards") << QString() << stdColorSheet(QList<int>(48, 0))
                              << "information: Error: Error in Excel file with not enough rows of standard color cards!";
    QTest::newRow("missing file") << dir.filePath(QStringLiteral("gone/StdColor.xlsx")) << CellRows()
                                  << "information: Error: Can't open file!";
    QTest::newRow("count check value wrong")
        << QString() << [] { CellRows s = stdColorSheet({3}); s[1][1] = 1.0; return s; }()
        << "information: Error: Failed to write the total number of standard color cards!";
    // Nothing is written before every part of the sheet is known to be accepted.
    QTest::newRow("last card's check value wrong")
        << QString() << [] { CellRows s = stdColorSheet({3, 2, 1}); s[4][4] = s[4][4].toDouble() + 1; return s; }()
        << "information: Error: Failed to write standard color card information!";
    QTest::newRow("too few colour rows") << QString() << stdColorSheet({6, 4}, 9)
                                         << "information: Error: Error in Excel file with not enough rows of standard color cards!";
    QTest::newRow("name of 18 UTF-8 bytes") << "openpyxl/cards_long_chinese.xlsx" << CellRows()
                                            << QString::fromUtf8("information: Error: The standard color card name "
                                                                 "\"标准色卡二号\" is longer than 16 bytes, unable to write!");
    QTest::newRow("colour value beyond 16 bits")
        << QString() << [] { CellRows s = stdColorSheet({2, 1}); s[51][2] = QStringLiteral("-400"); return s; }()
        << "information: Error: The value -400 in row 52 is outside -327.68 to 327.67, unable to write!";
    QTest::newRow("name of 17 bytes") << "openpyxl/cards_long_ascii.xlsx" << CellRows()
                                      << "information: Error: The standard color card name \"0123456789ABCDEFG\" is "
                                         "longer than 16 bytes, unable to write!";
}

void tst_Transfers::stdColorRefusedBeforeWriting()
{
    QFETCH(QString, file);
    QFETCH(CellRows, sheet);
    QFETCH(QString, message);
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("StdColor.xlsx"));
        QFile::remove(file);
        QVERIFY(writeSheet(file, sheet));
    } else if (file.startsWith(QLatin1String("openpyxl/"))) { // a fixture, uploaded under its name
        const QString path = dir.filePath(QStringLiteral("StdColor.xlsx"));
        QFile::remove(path);
        QVERIFY(QFile::copy(fixture(file), path));
        file = path;
    }
    modal->answerOpenFile(file);
    page->on_writeStdColorBtn_clicked();
    QCOMPARE(messages(), QStringList{message});
    QVERIFY2(sentFrames(vi->receivedFrames(), 0x70).isEmpty() && sentFrames(vi->receivedFrames(), 0x74).isEmpty(),
             "nothing reaches the instrument");
    QCOMPARE(vi->memory(0x2F00, 4), hexBytes("ffffffff"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("gone"))));
}

void tst_Transfers::stdColorFailures_data()
{
    QTest::addColumn<QList<int>>("cards");
    QTest::addColumn<int>("colourRows");
    QTest::addColumn<int>("frame");   // the fault goes in before this request; 0: none
    QTest::addColumn<int>("fault");   // -1: writes fail from there on
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("packets");
    QTest::newRow("count refused") << QList<int>{10} << 10 << 1 << int(VirtualFault::ErrorReply)
                                   << "information: Error: Failed to write the total number of standard color cards!" << "";
    QTest::newRow("card refused") << QList<int>{6, 4} << 10 << 3 << int(VirtualFault::NoReply)
                                  << "information: Error: Failed to write standard color card information!" << "";
    QTest::newRow("data packet refused") << QList<int>{10} << 10 << 3 << -1
                                         << "information: Error: Failed to write standard color card data!" << "";
    QTest::newRow("empty packet: error pattern") << QList<int>{10} << 10 << 5 << int(VirtualFault::CloseErrorPattern)
                                                 << "information: Error: Failed to write!" << "40000:256 40100:4 40104:0";
    QTest::newRow("empty packet: no answer") << QList<int>{10} << 10 << 5 << int(VirtualFault::NoReply)
                                             << "information: Error: Failed to write empty packet!" << "40000:256 40100:4 40104:0";
}

void tst_Transfers::stdColorFailures()
{
    QFETCH(QList<int>, cards);
    QFETCH(int, colourRows);
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(QString, packets);
    const QString path = dir.filePath(QStringLiteral("StdColor.xlsx"));
    QFile::remove(path);
    QVERIFY(writeSheet(path, stdColorSheet(cards, colourRows)));
    if (frame == 1)
        vi->injectFault(VirtualFault(fault));
    else if (frame > 1)
        onFrame(frame - 1, [this, fault] {
            if (fault < 0)
                vi->setWriteFailure(true);
            else
                vi->injectFault(VirtualFault(fault));
        });
    modal->answerOpenFile(path);
    page->on_writeStdColorBtn_clicked();
    QCOMPARE(messages(), QStringList{message});
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x74)), packets);
    if (!modal->progresses().isEmpty())
        QVERIFY(modal->progresses().at(0)->hidden);
}

void tst_Transfers::myColorDownload_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("names");
    QTest::newRow("N = 0") << 0 << "" << "";
    QTest::newRow("N = 4, the seed") << 4 << "4000:24" << "8000:56";
    QTest::newRow("N = 50") << 50 << "4000:256 4100:44" << "8000:256 8100:256 8200:188";
}

void tst_Transfers::myColorDownload()
{
    QFETCH(int, count);
    QFETCH(QString, values);
    QFETCH(QString, names);
    if (count != 4) {
        QByteArray v, n;
        for (int i = 0; i < count; ++i) {
            v += le16(i == 1 ? -1234 : 100 * i) + le16(-i) + le16(i == 2 ? -100 : 7);
            n += i == 3 ? QByteArray("Fourteen bytes") : instrumentNameField(i == 1 ? QString::fromUtf8("蓝色")
                                                                                     : QStringLiteral("N%1").arg(i), 14);
        }
        vi->setMemory(0x3000, seed::myColorHeader(9, count, 5));
        vi->setMemory(0x4000, v);
        vi->setMemory(0x8000, n);
    }
    const QString path = dir.filePath(QStringLiteral("down.xls"));
    QFile::remove(path);
    modal->answerSaveFile(path);
    page->on_readMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Read my color data successfully!")});
    const ModalCall save = modal->calls(ModalKind::SaveFileName).at(0);
    QCOMPARE(save.title, QStringLiteral("Storing data to Excel"));
    QCOMPARE(save.filter, QStringLiteral("excel file (*.xls)"));
    QVERIFY2(QRegularExpression(QStringLiteral("^Mycolor\\d{12}$")).match(save.text).hasMatch(), qPrintable(save.text));

    const QList<Sent> reads = sentFrames(vi->receivedFrames(), 0x40);
    QCOMPARE(reads.size(), 1 + int(values.isEmpty() ? 0 : values.count(' ') + 1) + int(names.isEmpty() ? 0 : names.count(' ') + 1));
    QCOMPARE(packetList(reads.mid(1)), (values + QLatin1Char(' ') + names).trimmed());
    const auto &progress = *modal->progresses().at(0);
    QCOMPARE(progress.maximum, int(reads.size()) - 1);

    const CellRows sheet = readSheet(path);
    QCOMPARE(sheet.size(), count + 4);
    QCOMPARE(sheet.at(0).at(0).toString(), kModel);
    QCOMPARE(sheet.at(3).at(0).toString(), QStringLiteral("name"));
    QCOMPARE(sheet.at(3).at(3).toString(), QStringLiteral("b*"));
    if (count == 4) {
        QCOMPARE(sheet.at(1).at(0).toDouble(), 1.0);
        QCOMPARE(sheet.at(1).at(1).toDouble(), 4.0);
        QCOMPARE(sheet.at(6).at(0).toString(), QStringLiteral("Teal"));
        QCOMPARE(sheet.at(6).at(3).toString(), QStringLiteral("-12.34"));
    } else if (count == 50) {
        QCOMPARE(sheet.at(1).at(0).toDouble(), 9.0);
        QCOMPARE(sheet.at(1).at(2).toDouble(), 5.0);
        QCOMPARE(sheet.at(1).at(3).toDouble(), double(crcOf(seed::myColorHeader(9, 50, 5).left(8))));
        QCOMPARE(sheet.at(5).at(0).toString(), QString::fromUtf8("蓝色"));
        QCOMPARE(sheet.at(5).at(1).toString(), QStringLiteral("-12.34"));
        QCOMPARE(sheet.at(6).at(3).toString(), QStringLiteral("-1.00"));
        QCOMPARE(sheet.at(7).at(0).toString(), QStringLiteral("Fourteen bytes"));
        QCOMPARE(sheet.at(53).at(0).toString(), QStringLiteral("N49"));
        QCOMPARE(sheet.at(53).at(1).toString(), QStringLiteral("49.00"));
        QCOMPARE(sheet.at(53).at(2).toString(), QStringLiteral("-0.49"));
    }
}

void tst_Transfers::myColorDownloadKeepsOtherCells()
{
    const QString path = dir.filePath(QStringLiteral("kept.xlsx"));
    CellRows before(12, QList<QVariant>(6, QStringLiteral("old")));
    QVERIFY(writeSheet(path, before));
    modal->answerSaveFile(path);
    page->on_readMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Read my color data successfully!")});
    const CellRows after = readSheet(path);
    QCOMPARE(after.at(4).at(0).toString(), QStringLiteral("Ivory"));
    QCOMPARE(after.at(4).at(4).toString(), QStringLiteral("old")); // column E
    QCOMPARE(after.at(8).at(0).toString(), QStringLiteral("old")); // row 9
}

void tst_Transfers::myColorDownloadFileName_data()
{
    QTest::addColumn<QString>("answer"); // empty: the suggested name, kept
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("exists");    // a file of the written name is there before
    QTest::addColumn<int>("reply");      // to the replace question; NoButton: none expected
    QTest::newRow("suggested name") << QString() << QString() << false << int(QMessageBox::NoButton);
    QTest::newRow("typed without extension") << "lib" << "lib.xls" << false << int(QMessageBox::NoButton);
    QTest::newRow("a point that is no extension") << "lot 3.5" << "lot 3.5.xls" << false << int(QMessageBox::NoButton);
    QTest::newRow("replace: yes") << "lib" << "lib.xls" << true << int(QMessageBox::Yes);
    QTest::newRow("replace: no") << "lib" << "lib.xls" << true << int(QMessageBox::No);
    // The dialog itself asked about a name it saw.
    QTest::newRow("with extension") << "lib.xls" << "lib.xls" << true << int(QMessageBox::NoButton);
}

void tst_Transfers::myColorDownloadFileName()
{
    QFETCH(QString, answer);
    QFETCH(QString, written);
    QFETCH(bool, exists);
    QFETCH(int, reply);
    QDir folder(dir.filePath(QStringLiteral("names")));
    folder.removeRecursively();
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    const CellRows before{{QStringLiteral("old"), QStringLiteral("old")}};
    if (exists)
        QVERIFY(writeSheet(folder.filePath(written), before));
    QString suggested;
    modal->saveAs = [&](const QString &name) {
        suggested = name;
        return folder.filePath(answer.isEmpty() ? name : answer);
    };
    if (reply != QMessageBox::NoButton)
        modal->answerQuestion(QMessageBox::StandardButton(reply));
    page->on_readMyColorBtn_clicked();
    if (written.isEmpty())
        written = suggested + QStringLiteral(".xls");

    QCOMPARE(modal->unexpectedCount(), 0);
    QCOMPARE(modal->pendingAnswers(), 0);
    const QList<ModalCall> questions = modal->calls(ModalKind::Question);
    QCOMPARE(questions.size(), reply == QMessageBox::NoButton ? 0 : 1);
    if (!questions.isEmpty()) {
        QCOMPARE(questions.at(0).title, QStringLiteral("Storing data to Excel"));
        QCOMPARE(questions.at(0).text, written + QStringLiteral(" already exists.\nDo you want to replace it?"));
    }
    if (reply == QMessageBox::No) { // declined: nothing read, nothing written, nothing said
        QCOMPARE(messages().size(), 1);
        QVERIFY(sentFrames(vi->receivedFrames(), 0x40).isEmpty());
        QCOMPARE(readSheet(folder.filePath(written)).at(0).at(0).toString(), QStringLiteral("old"));
        return;
    }
    QCOMPARE(messages().size(), 1 + int(questions.size()));
    QCOMPARE(messages().last(), QStringLiteral("information: Information: Read my color data successfully!"));
    // One file, of the name the upload's filter lists, in the old binary format.
    QCOMPARE(folder.entryList(QDir::Files), QStringList{written});
    QCOMPARE(folder.entryList({QStringLiteral("*.xls")}, QDir::Files), QStringList{written}); // as "excel file (*.xls)" filters
    QFile file(folder.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(4).toHex(), QByteArray("d0cf11e0")); // an OLE compound file, as .xls are
    file.close();
    QCOMPARE(readSheet(folder.filePath(written)).at(4).at(0).toString(), QStringLiteral("Ivory"));

    // The upload's dialog lists the file, and the upload takes it.
    modal->clearRecord();
    modal->answerOpenFile(folder.filePath(written));
    page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write my color data successfully!")});
}

void tst_Transfers::myColorRoundTrip()
{
    // A Chinese name, a 14-byte name without a zero byte and -12.34 come back as they went.
    QByteArray names = vi->memory(0x8000, 56);
    names.replace(14, 14, instrumentNameField(QString::fromUtf8("砖红色"), 14));
    names.replace(42, 14, QByteArray("Slate grey 14b"));
    vi->setMemory(0x8000, names);
    const QByteArray header = vi->memory(0x3000, 10);
    const QByteArray values = vi->memory(0x4000, 24);
    QVERIFY(values.contains(le16(-1234)));

    const QString path = dir.filePath(QStringLiteral("Mycolor.xls"));
    modal->answerSaveFile(path);
    page->on_readMyColorBtn_clicked();
    QCOMPARE(readSheet(path).at(5).at(0).toString(), QString::fromUtf8("砖红色"));
    vi->setMemory(0x3000, QByteArray(10, '\0'));
    vi->setMemory(0x4000, QByteArray(24, '\0'));
    vi->setMemory(0x8000, QByteArray(56, '\0'));
    vi->clearLog();

    modal->answerOpenFile(path);
    page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), (QStringList{QStringLiteral("information: Information: Read my color data successfully!"),
                                      QStringLiteral("information: Information: Write my color data successfully!")}));
    QCOMPARE(vi->memory(0x3000, 10).toHex(' '), header.toHex(' '));
    QCOMPARE(vi->memory(0x4000, 24).toHex(' '), values.toHex(' '));
    QCOMPARE(vi->memory(0x8000, 56).toHex(' '), names.toHex(' '));
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x70)), QStringLiteral("3000:10 4000:24 8000:56"));
}

void tst_Transfers::myColorFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("python3-xlwt") << fixture(QStringLiteral("mycolor_xlwt.xls"));
    QTest::newRow("LibreOffice") << fixture(QStringLiteral("lo/mycolor_xlwt.xls"));
}

void tst_Transfers::myColorFixtures()
{
    QFETCH(QString, file);
    modal->answerOpenFile(file);
    page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write my color data successfully!")});
    QCOMPARE(modal->calls(ModalKind::OpenFileName).at(0).filter, QStringLiteral("excel file (*.xls)"));
    const QByteArray header = hexBytes("07000000") + le16(4) + le16(3);
    QCOMPARE(vi->memory(0x3000, 10), header + le16(crcOf(header)));
    const QByteArray values = le16(9120) + le16(-105) + le16(1240) + le16(2550) + le16(-1234) + le16(-100)
        + le16(5) + le16(-5) + le16(10000) + le16(1299) + le16(-50) + le16(0);
    QCOMPARE(vi->memory(0x4000, 24).toHex(' '), values.toHex(' '));
    const QByteArray names = QByteArray("Ivory") + QByteArray(9, '\0') + hexBytes("c0b6c9ab") + QByteArray(10, '\0')
        + QByteArray("Fourteen bytes") + QByteArray("A longer name ");
    QCOMPARE(vi->memory(0x8000, 56).toHex(' '), names.toHex(' '));
}

void tst_Transfers::myColorUploadPackets_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("packets");
    QTest::addColumn<int>("progressMax");
    QTest::newRow("N = 0") << 0 << "3000:10" << 0;
    QTest::newRow("N = 50") << 50 << "3000:10 4000:256 4100:44 8000:256 8100:256 8200:188" << 2;
}

void tst_Transfers::myColorUploadPackets()
{
    QFETCH(int, count);
    QFETCH(QString, packets);
    QFETCH(int, progressMax);
    const QString path = dir.filePath(QStringLiteral("up.xls"));
    QFile::remove(path);
    QVERIFY(writeSheet(path, myColorSheet(count, QStringLiteral("  Bench unit  3001"), count + 3)));
    modal->answerOpenFile(path);
    page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write my color data successfully!")});
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x70)), packets);
    QCOMPARE(modal->progresses().at(0)->maximum, progressMax);
    QCOMPARE(modal->progresses().at(0)->value(), progressMax);
    if (count == 50) {
        QCOMPARE(vi->memory(0x4000 + 6 * 49, 6), le16(49) + le16(-49) + le16(98));
        QCOMPARE(vi->memory(0x8000 + 14 * 49, 14), QByteArray("M49") + QByteArray(11, '\0'));
        QCOMPARE(vi->memory(0x8000 + 14 * 50, 2), hexBytes("ffff")); // the extra rows are not sent
    }
}

void tst_Transfers::myColorFailures_data()
{
    QTest::addColumn<bool>("download");
    QTest::addColumn<CellRows>("sheet");
    QTest::addColumn<int>("frame"); // the fault goes in before this request; 0: none
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("writes");
    const CellRows good = myColorSheet(50);
    QTest::newRow("upload: another model") << false << myColorSheet(50, QStringLiteral("VC-3001")) << 0 << 0
                                           << "warning: Error: The written contents do not match and cannot be written!" << "";
    QTest::newRow("upload: header check value wrong")
        << false << [&] { CellRows s = good; s[1][3] = 5.0; return s; }() << 0 << 0
        << "information: Error: Write my color information, data error, unable to write!" << "";
    QTest::newRow("upload: more colours than the names area holds")
        << false << myColorSheet(2341) << 0 << 0 << "information: Error: Write my color information, data error, unable to write!"
        << "";
    QTest::newRow("upload: as many as it holds") << false << myColorSheet(2340) << 0 << 0
                                                 << "information: Information: Write my color data successfully!"
                                                 << "3000:10 4000:256";
    QTest::newRow("upload: header refused") << false << good << 1 << int(VirtualFault::ErrorReply)
                                            << "information: Error: Failed to write my color information!" << "3000:10";
    QTest::newRow("upload: too few rows") << false << myColorSheet(50, kModel, 49) << 0 << 0
                                          << "information: Error: Error in Excel file with not enough rows of my color!" << "";
    QTest::newRow("upload: value packet refused") << false << good << 2 << int(VirtualFault::NoReply)
                                                  << "information: Error: Failed to write my color data!" << "3000:10 4000:256";
    QTest::newRow("upload: name packet refused") << false << good << 5 << int(VirtualFault::ErrorReply)
                                                 << "information: Error: Failed to write my color data!"
                                                 << "3000:10 4000:256 4100:44 8000:256 8100:256";
    QTest::newRow("download: header refused") << true << CellRows() << 1 << int(VirtualFault::BadEcho)
                                              << "information: Error: Failed to read my color number!" << "";
    QTest::newRow("download: header check value wrong") << true << CellRows() << 1 << int(VirtualFault::CorruptByte)
                                                        << "information: Error: Failed to read my color number!" << "";
    QTest::newRow("download: name packet lost") << true << CellRows() << 3 << int(VirtualFault::NoReply)
                                                << "information: Error: Failed to read my color data!" << "";
}

void tst_Transfers::myColorFailures()
{
    QFETCH(bool, download);
    QFETCH(CellRows, sheet);
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(QString, writes);
    const QString path = dir.filePath(download ? QStringLiteral("failed.xls") : QStringLiteral("up.xls"));
    QFile::remove(path);
    if (frame == 1)
        vi->injectFault(VirtualFault(fault), fault == int(VirtualFault::CorruptByte) ? 12 : 0);
    else if (frame > 1)
        onFrame(frame - 1, [this, fault] { vi->injectFault(VirtualFault(fault)); });
    if (download) {
        modal->answerSaveFile(path);
        page->on_readMyColorBtn_clicked();
    } else {
        QVERIFY(writeSheet(path, sheet));
        modal->answerOpenFile(path);
        page->on_writeMyColorBtn_clicked();
    }
    QCOMPARE(messages(), QStringList{message});
    const QString written = packetList(sentFrames(vi->receivedFrames(), 0x70));
    if (message.startsWith(QLatin1String("information: Information")))
        QVERIFY2(written.startsWith(writes) && written.endsWith(QLatin1String("ff00:248")), qPrintable(written));
    else
        QCOMPARE(written, writes);
    if (!modal->progresses().isEmpty())
        QVERIFY(modal->progresses().at(0)->hidden);
    if (download) // nothing was written into the sheet
        QVERIFY(readSheet(path).isEmpty() || readSheet(path).at(0).at(0).toString().isEmpty());
}

// A sheet refused for what it holds leaves the instrument's library as it was: not one request
// goes out, so the old header still describes the old colours.
void tst_Transfers::myColorRefusedBeforeWriting_data()
{
    QTest::addColumn<CellRows>("sheet");
    QTest::addColumn<QString>("message");
    // Row 2 with its check value laid out here from the header's bytes.
    const auto withHeader = [](CellRows s, double value0, double count, double value2, const QByteArray &bytes) {
        s[1] = {value0, count, value2, double(crcOf(bytes))};
        return s;
    };
    const QString rows = QStringLiteral("information: Error: Error in Excel file with not enough rows of my color!");
    const QString data = QStringLiteral("information: Error: Write my color information, data error, unable to write!");
    QTest::newRow("one row short") << myColorSheet(50, kModel, 49) << rows;
    QTest::newRow("no colour rows") << myColorSheet(3, kModel, 0) << rows;
    QTest::newRow("one row short, check value wrong")
        << [] { CellRows s = myColorSheet(50, kModel, 49); s[1][3] = 5.0; return s; }() << data;
    QTest::newRow("another model") << myColorSheet(2, QStringLiteral("Bench unit 3002"))
                                   << "warning: Error: The written contents do not match and cannot be written!";
    // Values beyond their fields, with a check value over the bytes they would be cut to.
    QTest::newRow("count -1")
        << withHeader(myColorSheet(0), 7, -1, 3, hexBytes("07000000ffff0300")) << data;
    QTest::newRow("value 0 beyond 32 bits")
        << withHeader(myColorSheet(2), 4294967303.0, 2, 3, hexBytes("0700000002000300")) << data;
    QTest::newRow("value 2 beyond 16 bits")
        << withHeader(myColorSheet(2), 7, 2, 65539, hexBytes("0700000002000300")) << data;
    QTest::newRow("colour value beyond 16 bits")
        << [] { CellRows s = myColorSheet(3); s[5][1] = QStringLiteral("327.68"); return s; }()
        << "information: Error: The value 327.68 in row 6 is outside -327.68 to 327.67, unable to write!";
}

void tst_Transfers::myColorRefusedBeforeWriting()
{
    QFETCH(CellRows, sheet);
    QFETCH(QString, message);
    const QByteArray header = vi->memory(0x3000, 10);
    const QByteArray values = vi->memory(0x4000, 300);
    const QByteArray names = vi->memory(0x8000, 700);
    const QString path = dir.filePath(QStringLiteral("up.xls"));
    QFile::remove(path);
    QVERIFY(writeSheet(path, sheet));
    modal->answerOpenFile(path);
    page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{message});
    QCOMPARE(packetList(sentFrames(vi->receivedFrames(), 0x70)), QString());
    QCOMPARE(vi->memory(0x3000, 10).toHex(' '), header.toHex(' '));
    QCOMPARE(vi->memory(0x4000, 300), values);
    QCOMPARE(vi->memory(0x8000, 700), names);
    QVERIFY(modal->progresses().isEmpty());
}

void tst_Transfers::withoutLinkNothingHappens_data()
{
    QTest::addColumn<int>("flow");
    QTest::newRow("standard cards") << 0;
    QTest::newRow("my-colour upload") << 1;
    QTest::newRow("my-colour download") << 2;
}

void tst_Transfers::withoutLinkNothingHappens()
{
    QFETCH(int, flow);
    page->closeThreadSlot();
    delete port->link;
    port->link = nullptr;
    void (FirstPageForTesk::*const flows[])() = {&FirstPageForTesk::on_writeStdColorBtn_clicked,
                                                 &FirstPageForTesk::on_writeMyColorBtn_clicked,
                                                 &FirstPageForTesk::on_readMyColorBtn_clicked};
    (page->*flows[flow])();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Error: Please connect the device first!")});
    QCOMPARE(modal->calls().size(), 1); // no file dialog either
}

void tst_Transfers::instrumentGoneWhileChoosingTheFile_data()
{
    withoutLinkNothingHappens_data();
}

void tst_Transfers::instrumentGoneWhileChoosingTheFile()
{
    QFETCH(int, flow);
    const QString path = dir.filePath(flow == 0 ? QStringLiteral("StdColor.xlsx") : QStringLiteral("Mycolor.xls"));
    QVERIFY(writeSheet(path, flow == 0 ? stdColorSheet({3}) : myColorSheet(3)));
    // As the window does on a removal: the worker stops, then the link goes.
    modal->whileFileDialogOpen = [this] {
        vi->unplug();
        page->closeThreadSlot();
        delete port->link;
        port->link = nullptr;
    };
    if (flow == 2)
        modal->answerSaveFile(path);
    else
        modal->answerOpenFile(path);
    void (FirstPageForTesk::*const flows[])() = {&FirstPageForTesk::on_writeStdColorBtn_clicked,
                                                 &FirstPageForTesk::on_writeMyColorBtn_clicked,
                                                 &FirstPageForTesk::on_readMyColorBtn_clicked};
    (page->*flows[flow])();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Error: Please connect the device first!")});
    QVERIFY(vi->receivedFrames().isEmpty());
    QVERIFY(modal->progresses().isEmpty());
}

void tst_Transfers::unknownModelMatchesNoSheet()
{
    // Before the identity is read the page knows no model: a sheet with an empty A1 is no match.
    page->deviceName.clear();
    const QString path = dir.filePath(QStringLiteral("StdColor.xlsx"));
    QVERIFY(writeSheet(path, stdColorSheet({3}, -1, QString())));
    modal->answerOpenFile(path);
    page->on_writeStdColorBtn_clicked();
    const QString my = dir.filePath(QStringLiteral("Mycolor.xls"));
    QVERIFY(writeSheet(my, myColorSheet(3, QString())));
    modal->answerOpenFile(my);
    page->on_writeMyColorBtn_clicked();
    const QString refused = QStringLiteral("warning: Error: The written contents do not match and cannot be written!");
    QCOMPARE(messages(), (QStringList{refused, refused}));
    QVERIFY(vi->receivedFrames().isEmpty());
}

void tst_Transfers::sheetWithoutRows_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("standard cards") << "StdColor.xlsx";
    QTest::newRow("my-colours") << "Mycolor.xls";
}

void tst_Transfers::sheetWithoutRows()
{
    QFETCH(QString, name);
    // An empty file, as the engine makes one where a workbook is to be written.
    const QString path = dir.filePath(name);
    QFile::remove(path);
    QVERIFY(ExcelEngine::ensureFileExists(path));
    modal->answerOpenFile(path);
    if (name.endsWith(QLatin1String(".xlsx")))
        page->on_writeStdColorBtn_clicked();
    else
        page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Error: Failed to read excel file!")});
    QVERIFY(vi->receivedFrames().isEmpty());
}

void tst_Transfers::myColorSheetNotWritten()
{
    // The folder of the chosen file goes while the library is read: the sheet cannot be saved.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("gone")));
    const QString path = dir.filePath(QStringLiteral("gone/Mycolor.xls"));
    onFrame(3, [this] { QDir(dir.filePath(QStringLiteral("gone"))).removeRecursively(); });
    modal->answerSaveFile(path);
    page->on_readMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Error: Failed to export data to excel file")});
}

void tst_Transfers::messagesInChinese()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral("Pelmo_zh"), QStringLiteral(COLORIMETER_QM_DIR)));
    QCoreApplication::installTranslator(&chinese);
    const QString path = dir.filePath(QStringLiteral("Mycolor.xls"));
    modal->answerSaveFile(path);
    page->on_readMyColorBtn_clicked();
    modal->answerOpenFile(path);
    page->on_writeMyColorBtn_clicked();
    modal->answerOpenFile(fixture(QStringLiteral("lower/stdcolor.xlsx")));
    page->on_writeStdColorBtn_clicked();
    framesSeen = 0;
    onFrame(1, [this] { vi->injectFault(VirtualFault::CorruptByte, 12); }); // the record count's reply
    page->on_readcolordifrecordBtn_clicked();
    QCoreApplication::removeTranslator(&chinese);
    QCOMPARE(messages(), (QStringList{QString::fromUtf8("information: 信息: 读取我的颜色数据成功！"),
                                      QString::fromUtf8("information: 信息: 写入我的颜色数据成功！"),
                                      QString::fromUtf8("warning: 错误: 文件错误，无法写入！"),
                                      QString::fromUtf8("information: 错误: 色差历史数据错误，无法导出！")}));
    QCOMPARE(modal->progresses().at(0)->labelText, QString::fromUtf8("正在存储数据，请稍候..."));
    QCOMPARE(modal->progresses().at(0)->cancelText, QString::fromUtf8("取消"));
}

void tst_Transfers::unplugDuringTransfer_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("message");
    // The request that meets the unplug loses its reply; stream packets have none.
    QTest::newRow("standard cards, the count") << "std" << 1
                                               << "information: Error: Failed to write the total number of standard color cards!";
    QTest::newRow("standard cards, a card") << "std" << 2 << "information: Error: Failed to write standard color card information!";
    QTest::newRow("standard cards, the stream") << "std" << 4 << "information: Error: Failed to write standard color card data!";
    QTest::newRow("standard cards, last packet") << "std" << 6 << "information: Error: Failed to write empty packet!";
    QTest::newRow("my-colour upload") << "myup" << 2 << "information: Error: Failed to write my color data!";
    QTest::newRow("my-colour download") << "mydown" << 2 << "information: Error: Failed to read my color data!";
}

void tst_Transfers::unplugDuringTransfer()
{
    QFETCH(QString, flow);
    QFETCH(int, frame);
    QFETCH(QString, message);
    const QString path = dir.filePath(flow == QLatin1String("std") ? QStringLiteral("StdColor.xlsx")
                                                                    : QStringLiteral("my.xls"));
    QFile::remove(path);
    if (flow == QLatin1String("std"))
        QVERIFY(writeSheet(path, stdColorSheet({10, 10})));
    else if (flow == QLatin1String("myup"))
        QVERIFY(writeSheet(path, myColorSheet(50)));
    onFrame(frame, [this] { vi->unplug(); });
    const auto run = [&] {
        if (flow == QLatin1String("mydown")) {
            modal->answerSaveFile(path);
            page->on_readMyColorBtn_clicked();
        } else {
            modal->answerOpenFile(path);
            if (flow == QLatin1String("std"))
                page->on_writeStdColorBtn_clicked();
            else
                page->on_writeMyColorBtn_clicked();
        }
    };
    run();
    QCOMPARE(messages(), QStringList{message});
    QVERIFY(linkLock().tryLock());
    linkLock().unlock();

    // Plugged in again, the same transfer goes through.
    disconnect(vi, &VirtualInstrument::frameReceived, this, nullptr);
    vi->plug();
    reconnect();
    modal->clearRecord();
    if (flow == QLatin1String("mydown"))
        QFile::remove(path);
    run();
    QCOMPARE(messages().size(), 1);
    QVERIFY2(messages().at(0).startsWith(QLatin1String("information: Information: ")), qPrintable(messages().at(0)));
}

void tst_Transfers::replugDuringUploadWaitsForTheLock()
{
    const QString path = dir.filePath(QStringLiteral("my.xls"));
    QVERIFY(writeSheet(path, myColorSheet(50)));
    bool lockWasFree = true;
    onFrame(3, [this, &lockWasFree] {
        vi->unplug();
        vi->plug();
        // Whoever would open the instrument again waits for the upload to end.
        lockWasFree = linkLock().tryLock();
        if (lockWasFree)
            linkLock().unlock();
    });
    modal->answerOpenFile(path);
    page->on_writeMyColorBtn_clicked();
    QVERIFY(!lockWasFree);
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Error: Failed to write my color data!")});
    reconnect();
    modal->clearRecord();
    modal->answerOpenFile(path);
    page->on_writeMyColorBtn_clicked();
    QCOMPARE(messages(), QStringList{QStringLiteral("information: Information: Write my color data successfully!")});
}

void tst_Transfers::recordPackets_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("packets");
    QTest::addColumn<int>("progressMax");
    QTest::newRow("N = 0") << 0 << "" << 0;
    QTest::newRow("N = 21") << 21 << "10000:252 20000:256 20100:38" << 3;
    QTest::newRow("N = 64") << 64
                            << "10000:256 10100:256 10200:256 20000:256 20100:256 20200:256 20300:128" << 7;
}

void tst_Transfers::recordPackets()
{
    QFETCH(int, count);
    QFETCH(QString, packets);
    QFETCH(int, progressMax);
    QList<VirtualInstrument::Record> records;
    for (int i = 0; i < count; ++i)
        records.append({QStringLiteral("R%1").arg(i).toLatin1(), 5000 + i, 0, 0, 5000, i, -i});
    vi->setRecords(records);
    page->on_readcolordifrecordBtn_clicked();
    QCOMPARE(messages(), QStringList());
    QList<Sent> reads = sentFrames(vi->receivedFrames(), 0x40);
    QCOMPARE(packetList(reads.mid(0, 2)), QStringLiteral("225:5 3010:10"));
    QCOMPARE(packetList(reads.mid(2)), packets);
    QCOMPARE(modal->progresses().size(), 1);
    QCOMPARE(modal->progresses().at(0)->maximum, progressMax);
    QCOMPARE(modal->progresses().at(0)->values.isEmpty() ? -1 : modal->progresses().at(0)->values.last(),
             progressMax - 1);
    QVERIFY(modal->progresses().at(0)->hidden);
    QCOMPARE(table()->model()->rowCount(), count);
    QCOMPARE(page->totalCount, count);
    if (count > 0) {
        QCOMPARE(testsupport::cellText(table(), count - 1, 1), QStringLiteral("R%1").arg(count - 1));
        QCOMPARE(testsupport::cellText(table(), count - 1, 0), QString::number(count));
        QCOMPARE(testsupport::cellText(table(), count - 1, 3), QString::number(50 + (count - 1) / 100.0, 'f', 2));
    }
}

void tst_Transfers::recordValues()
{
    vi->setDeltaEParameter(0, 15); // ΔE*ab, 1.5
    vi->setRecords({
        {QByteArray("Equal to threshold"), 5000, 0, 0, 5000, 150, 0},
        {QByteArray("Above"), 5000, 0, 0, 5000, 151, 0},
        {hexBytes("baecc9abd1f9c6b7"), -100, 0, 250, -100, 0, 250},
        {QByteArray("FourteenBytes!"), 32767, -32768, 32767, -32768, 32767, -32768},
    });
    page->on_readcolordifrecordBtn_clicked();
    QCOMPARE(messages(), QStringList());
    QCOMPARE(table()->model()->rowCount(), 4);
    const auto cell = [this](int r, int c) { return testsupport::cellText(table(), r, c); };
    QCOMPARE(cell(0, 13), QStringLiteral("1.50"));
    QCOMPARE(cell(0, 14), QStringLiteral("PASS"));
    QCOMPARE(cell(1, 14), QStringLiteral("NG"));
    QCOMPARE(cell(2, 1), QString::fromUtf8("红色样品"));
    QCOMPARE(cell(2, 3), QStringLiteral("-1.00"));
    QCOMPARE(cell(2, 7), QStringLiteral("90.0")); // a* = 0, b* > 0
    QCOMPARE(cell(2, 6), QStringLiteral("2.50"));
    QCOMPARE(cell(3, 1), QStringLiteral("FourteenBytes!"));
    QCOMPARE(cell(3, 3), QStringLiteral("327.67"));
    QCOMPARE(cell(3, 4), QStringLiteral("-327.68"));
    QCOMPARE(cell(3, 14), QStringLiteral("NG"));
    QCOMPARE(cell(0, 17), QStringLiteral("△E*ab"));
    QCOMPARE(cell(0, 18), QStringLiteral("1.5"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d  \\d\\d:\\d\\d$")).match(cell(0, 2)).hasMatch());
    QCOMPARE(page->passCount, 2);
    QCOMPARE(page->ngCount, 2);
    QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("TotalnumEdit"))->text(), QStringLiteral("4"));
    QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("UnqualnumEdit"))->text(), QStringLiteral("2"));
}

void tst_Transfers::recordsWithUnknownParameters_data()
{
    QTest::addColumn<int>("formula");
    QTest::newRow("formula index 6") << 6;
    QTest::newRow("erased parameter block (255)") << 255;
}

void tst_Transfers::recordsWithUnknownParameters()
{
    QFETCH(int, formula);
    vi->setDeltaEParameter(formula, 15);
    QSignalSpy batches(page->measurementModel(), &QAbstractItemModel::rowsInserted);
    page->on_readcolordifrecordBtn_clicked();
    QCOMPARE(batches.size(), 1); // one batch, like judged records
    // Added with their values, not judged, not counted, and said once.
    QCOMPARE(messages(), QStringList{QString::fromUtf8(
                             "information: Information: The records were not judged because the △E parameters are unknown.")});
    QCOMPARE(page->rowCount(), 5);
    for (int r = 0; r < 5; ++r) {
        QCOMPARE(testsupport::cellText(table(), r, FirstPageForTesk::ColDeltaE), QStringLiteral("-----"));
        QCOMPARE(table()->model()->index(r, FirstPageForTesk::ColVerdict).data(Qt::BackgroundRole), QVariant());
        QCOMPARE(page->rowRecord(r).verdict, QString());
        QVERIFY(std::isnan(page->rowRecord(r).deltaE));
        QCOMPARE(page->rowRecord(r).sequence, double(r + 1));
    }
    QCOMPARE(page->rowRecord(0).testName, QStringLiteral("Beige tile"));
    QCOMPARE(page->rowRecord(0).standard[0], 78.12);
    QCOMPARE(page->rowRecord(4).sample[1], -38.60);
    QCOMPARE(page->totalCount, 0);
    QCOMPARE(page->passCount + page->ngCount, 0);
    QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("TotalnumEdit"))->text(), QStringLiteral("0"));

    // Setting the parameters reads them back and re-judges: the rows get ΔE and verdicts.
    // ΔE*ab of the seed records, by hand: 0.5945, 1.2634, 1.5808, 0.2081, 2.7099.
    modal->answerDialog(QDialog::Accepted, [](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("1.5"));
        d->findChild<QRadioButton *>(QStringLiteral("formulaBtn_0"))->setChecked(true);
        d->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    });
    page->on_writeparameterBtn_clicked();
    const char *deltaE[] = {"0.59", "1.26", "1.58", "0.21", "2.71"};
    const char *verdict[] = {"PASS", "PASS", "NG", "PASS", "NG"};
    for (int r = 0; r < 5; ++r) {
        QCOMPARE(QString::number(page->rowRecord(r).deltaE, 'f', 2), QLatin1String(deltaE[r]));
        QCOMPARE(page->rowRecord(r).verdict, QLatin1String(verdict[r]));
    }
    QCOMPARE(page->totalCount, 5);
    QCOMPARE(page->passCount, 3);
    QCOMPARE(page->ngCount, 2);
}

void tst_Transfers::recordFailures_data()
{
    QTest::addColumn<int>("frame"); // the fault goes in before this request
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::addColumn<QString>("message");
    // Requests: 1 the ΔE parameter, 2 the record count, 3 the Lab packet, 4 the name packet.
    QTest::newRow("parameter not read") << 1 << int(VirtualFault::NoReply) << 0
                                        << "information: Error: Failed to read △E parameter information!";
    QTest::newRow("count check value wrong") << 2 << int(VirtualFault::CorruptByte) << 12
                                             << "information: Error: Color difference history data error, unable to export!";
    QTest::newRow("count not read") << 2 << int(VirtualFault::NoReply) << 0
                                    << "information: Error: Failed to read the number of color difference records!";
    QTest::newRow("count not echoed") << 2 << int(VirtualFault::BadEcho) << 0
                                      << "information: Error: Failed to read the number of color difference records!";
    QTest::newRow("Lab packet lost") << 3 << int(VirtualFault::NoReply) << 0
                                     << "information: Error: Reading color difference recording lab data failed!";
    QTest::newRow("name packet lost") << 4 << int(VirtualFault::NoReply) << 0
                                      << "information: Error: Failed to read color difference record name data!";
    QTest::newRow("unplugged in the Lab packet") << 3 << -1 << 0
                                                 << "information: Error: Reading color difference recording lab data failed!";
    QTest::newRow("unplugged in the name packet") << 4 << -1 << 0
                                                  << "information: Error: Failed to read color difference record name data!";
}

void tst_Transfers::recordFailures()
{
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(int, param);
    QFETCH(QString, message);
    if (fault < 0) {
        onFrame(frame, [this] { vi->unplug(); });
    } else if (frame == 1) {
        vi->injectFault(VirtualFault(fault), param);
    } else {
        onFrame(frame - 1, [this, fault, param] { vi->injectFault(VirtualFault(fault), param); });
    }
    page->on_readcolordifrecordBtn_clicked();
    QCOMPARE(messages(), QStringList{message});
    QCOMPARE(table()->model()->rowCount(), 0);
    QCOMPARE(page->totalCount, 0);
    if (!modal->progresses().isEmpty())
        QVERIFY(modal->progresses().at(0)->hidden);
    if (frame == 1)
        QCOMPARE(sentFrames(vi->receivedFrames(), 0x40).size(), 1); // nothing transferred
    if (fault < 0) { // the page stays usable: plugged in again, the download goes through
        disconnect(vi, &VirtualInstrument::frameReceived, this, nullptr);
        vi->plug();
        reconnect();
        modal->clearRecord();
        page->on_readcolordifrecordBtn_clicked();
        QCOMPARE(messages(), QStringList());
        QCOMPARE(table()->model()->rowCount(), 5);
    }
}

void tst_Transfers::askFirst_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("answer"); // QMessageBox::NoButton: no question expected
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("one row: appended to") << 1 << int(QMessageBox::NoButton) << 6;
    QTest::newRow("two rows: appended to") << 2 << int(QMessageBox::NoButton) << 7;
    QTest::newRow("three rows, not saved: cleared") << 3 << int(QMessageBox::No) << 5;
    // Saving first, but the user cancels the save dialog: nothing is lost, the rows stay.
    QTest::newRow("three rows, save cancelled: kept") << 3 << int(QMessageBox::Yes) << 8;
    QTest::newRow("three rows, saved: replaced") << 3 << int(QMessageBox::Yes) << 5;
}

void tst_Transfers::askFirst()
{
    QFETCH(int, rows);
    QFETCH(int, answer);
    QFETCH(int, rowsAfter);
    for (int i = 0; i < rows; ++i) {
        MeasurementRecord r;
        r.testName = QStringLiteral("Kept %1").arg(i);
        page->appendRow(r);
    }
    if (answer != QMessageBox::NoButton)
        modal->answerQuestion(QMessageBox::StandardButton(answer));
    const QString saved = dir.filePath(QStringLiteral("saved.xls"));
    QFile::remove(saved);
    if (answer == QMessageBox::Yes)
        modal->answerSaveFile(rowsAfter == 5 ? saved : QString());
    page->on_readcolordifrecordBtn_clicked();
    if (rowsAfter == 5 && answer == QMessageBox::Yes) {
        const CellRows file = readSheet(saved);
        QCOMPARE(file.size(), 4); // the header row and the three rows
        QVERIFY(file.at(3).contains(QVariant(QStringLiteral("Kept 2"))));
    }
    const QList<ModalCall> questions = modal->calls(ModalKind::Question);
    QCOMPARE(questions.size(), answer == QMessageBox::NoButton ? 0 : 1);
    if (!questions.isEmpty()) {
        QCOMPARE(questions.at(0).title, QStringLiteral("Colorimeter"));
        QCOMPARE(questions.at(0).text, QStringLiteral("Data import willempty the list, to save data first?"));
        QCOMPARE(questions.at(0).buttons, QMessageBox::Yes | QMessageBox::No);
    }
    QCOMPARE(modal->calls(ModalKind::SaveFileName).size(), answer == QMessageBox::Yes ? 1 : 0);
    QCOMPARE(modal->unexpectedCount(), 0);
    QCOMPARE(table()->model()->rowCount(), rowsAfter);
    QCOMPARE(testsupport::cellText(table(), rowsAfter - 1, 1), QStringLiteral("Leaf green"));
    if (rowsAfter > 5)
        QCOMPARE(testsupport::cellText(table(), 0, 1), QStringLiteral("Kept 0"));
}

QTEST_MAIN(tst_Transfers)
#include "tst_transfers.moc"
