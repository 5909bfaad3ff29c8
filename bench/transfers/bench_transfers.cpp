// The page's transfers against the virtual instrument with its timing model on (one 64-byte
// report per millisecond each way, as a full-speed interrupt endpoint), beside the link's limit
// for the same traffic. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/transfers/bench_transfers [records [colours]]
// The time of an upload is taken up to its success message; the one-second read that follows
// it (taking whatever the instrument still sends off the line) is shown on its own.
#include "clinker.h"
#include "crc16.h"
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "instrumentname.h"
#include "linkport.h"
#include "scriptedmodal.h"
#include "transfercells.h"
#include "virtualinstrument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// A progress dialog that notes when it was last moved on.
class TimedProgress : public ModalProgressBackend
{
public:
    TimedProgress(std::unique_ptr<ModalProgressBackend> inner, const QElapsedTimer *clock, double *lastMs)
        : m_inner(std::move(inner)), m_clock(clock), m_lastMs(lastMs)
    {
    }
    void show() override { m_inner->show(); }
    void hide() override { m_inner->hide(); }
    void close() override { m_inner->close(); }
    void setValue(int value) override
    {
        m_inner->setValue(value);
        *m_lastMs = double(m_clock->nsecsElapsed()) / 1e6;
    }
    int value() const override { return m_inner->value(); }
    void setRange(int minimum, int maximum) override { m_inner->setRange(minimum, maximum); }
    int minimum() const override { return m_inner->minimum(); }
    int maximum() const override { return m_inner->maximum(); }
    void setLabelText(const QString &text) override { m_inner->setLabelText(text); }
    QString labelText() const override { return m_inner->labelText(); }
    void setWindowTitle(const QString &title) override { m_inner->setWindowTitle(title); }
    bool wasCanceled() const override { return m_inner->wasCanceled(); }

private:
    std::unique_ptr<ModalProgressBackend> m_inner;
    const QElapsedTimer *m_clock;
    double *m_lastMs;
};

// A scripted handler that notes when the first message box appears and when the progress
// dialog last moved.
class TimedModal : public ScriptedModal
{
public:
    QElapsedTimer clock;
    double messageMs = -1;
    double lastProgressMs = -1;
    std::unique_ptr<ModalProgressBackend> progress(const QString &labelText, const QString &cancelText, int minimum,
                                                   int maximum, QWidget *parent) override
    {
        return std::make_unique<TimedProgress>(ScriptedModal::progress(labelText, cancelText, minimum, maximum, parent),
                                               &clock, &lastProgressMs);
    }
    QMessageBox::StandardButton message(ModalKind kind, QWidget *parent, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        if (messageMs < 0)
            messageMs = double(clock.nsecsElapsed()) / 1e6;
        return ScriptedModal::message(kind, parent, title, text, buttons, defaultButton);
    }
};

QByteArray le16(int v)
{
    QByteArray b;
    transfer::appendLe16(&b, v);
    return b;
}

quint16 crcOf(const QByteArray &b)
{
    return crc16Modbus(b.constData(), b.size());
}

// Reports each way that the frames the instrument received cost at the least: every request in
// reports of 62 data bytes; a read's reply of length + 10 bytes, a write's 10-byte
// acknowledgement and the closing packet's acknowledgement in reports of 62; stream packets
// unanswered.
struct Reports
{
    qint64 out = 0;
    qint64 in = 0;
};

Reports reportsFor(const QList<QByteArray> &frames)
{
    Reports r;
    for (const QByteArray &f : frames) {
        r.out += (f.size() + 61) / 62;
        const int function = quint8(f.at(1));
        const int length = quint8(f.at(6)) | quint8(f.at(7)) << 8;
        if (function == 0x40)
            r.in += (length + 10 + 2 + 61) / 62; // reply: header, data, CRC
        else if (function == 0x70 || (function == 0x74 && length == 0))
            r.in += 1;
    }
    return r;
}

void report(const char *what, double ms, const Reports &r, double afterMs = -1)
{
    const double limit = double(r.out + r.in);
    std::printf("%-34s %8.3f s   limit %7.3f s (%lld out + %lld in reports)   ratio %.2f", what, ms / 1000,
                limit / 1000, (long long)r.out, (long long)r.in, ms / limit);
    if (afterMs >= 0)
        std::printf("   then %.3f s of closing read", afterMs / 1000);
    std::printf("\n");
}

// Writes rows as sheet 1 of path, then uploads that file with the timing model on and reports
// the time up to the success message. False when the file cannot be written.
bool timeUpload(VirtualInstrument &vi, FirstPageForTesk &page, void (FirstPageForTesk::*upload)(),
                const QString &path, const CellRows &rows, const QString &what)
{
    ExcelEngine engine(path);
    if (!engine.open(1) || !engine.writeAll(rows) || !engine.save())
        return false;
    engine.close();

    TimedModal modal;
    modal.answerOpenFile(path);
    vi.setTimingModel(true);
    vi.clearLog();
    modal.clock.start();
    (page.*upload)();
    const double total = double(modal.clock.nsecsElapsed()) / 1e6;
    vi.setTimingModel(false);
    if (!modal.transcript().last().contains(QLatin1String("successfully")))
        std::printf("%s\n", qPrintable(modal.transcript().join(QLatin1Char('\n'))));
    report(qPrintable(what), modal.messageMs, reportsFor(vi.receivedFrames()), total - modal.messageMs);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("colorimeter.*.debug=false\nqt.core.qmetaobject.*=false"));
    const int records = argc > 1 ? qMax(1, atoi(argv[1])) : 5000;
    const int colours = argc > 2 ? qMax(1, atoi(argv[2])) : 1000;

    VirtualInstrument vi;
    LinkPort port;
    LinkPort::setCurrent(&port);
    auto *usb = new CLinkerUSB(&vi);
    if (usb->open(0x2047, 0x0301) != 0) {
        std::fprintf(stderr, "cannot open the virtual instrument\n");
        return 1;
    }
    port.link = usb;
    QTemporaryDir dir;
    ScriptedModal quiet; // the page's start-up box about a missing meter-number table
    FirstPageForTesk page;
    page.deviceName = QStringLiteral("Bench unit");

    // Standard colour cards: 10 cards sharing the colours.
    {
        const int cards = 10;
        CellRows rows;
        rows.append({page.deviceName, QString(), QString(), QString(), QString()});
        rows.append({double(cards), double(crcOf(le16(cards)))});
        for (int j = 0; j < cards; ++j) {
            const int n = colours / cards + (j < colours % cards ? 1 : 0);
            const QByteArray rec = instrumentNameField(QStringLiteral("Card %1").arg(j), 16)
                + instrumentNameField(QStringLiteral("Set"), 16) + le16(n) + le16(0);
            rows.append({QStringLiteral("Card %1").arg(j), QStringLiteral("Set"), double(n), 0.0, double(crcOf(rec))});
        }
        while (rows.size() < 49)
            rows.append({QString()});
        for (int i = 0; i < colours; ++i)
            rows.append({QStringLiteral("Colour %1").arg(i), 50.25, -3.5, QStringLiteral("12.34")});
        if (!timeUpload(vi, page, &FirstPageForTesk::on_writeStdColorBtn_clicked,
                        dir.filePath(QStringLiteral("StdColor.xlsx")), rows,
                        QStringLiteral("standard cards, %1 colours").arg(colours)))
            return 1;
    }

    // My-colours.
    {
        CellRows rows;
        const QByteArray header = QByteArray(4, '\0') + le16(colours) + le16(0);
        rows.append({page.deviceName, QString(), QString(), QString()});
        rows.append({0.0, double(colours), 0.0, double(crcOf(header))});
        rows.append({QString(), QString(), QString(), QString()});
        rows.append({QStringLiteral("name"), QStringLiteral("L*"), QStringLiteral("a*"), QStringLiteral("b*")});
        for (int i = 0; i < colours; ++i)
            rows.append({QStringLiteral("My %1").arg(i), QStringLiteral("50.25"), QStringLiteral("-3.50"),
                         QStringLiteral("12.34")});
        if (!timeUpload(vi, page, &FirstPageForTesk::on_writeMyColorBtn_clicked, dir.filePath(QStringLiteral("my.xls")),
                        rows, QStringLiteral("my-colour upload, %1 colours").arg(colours)))
            return 1;
    }
    // Colour-difference records into the table.
    {
        QList<VirtualInstrument::Record> stored;
        stored.reserve(records);
        for (int i = 0; i < records; ++i)
            stored.append({QStringLiteral("Test %1").arg(i).toLatin1(), 5000 + i % 300, 120, -340, 5010, 150 - i % 50,
                           -320});
        vi.setRecords(stored);
        page.openThreadSlot();
        TimedModal modal;
        vi.setTimingModel(true);
        vi.clearLog();
        modal.clock.start();
        page.on_readcolordifrecordBtn_clicked();
        const double total = double(modal.clock.nsecsElapsed()) / 1e6;
        vi.setTimingModel(false);
        const int rows = page.rowCount();
        if (rows != records)
            std::printf("%d rows instead of %d: %s\n", rows, records, qPrintable(modal.transcript().join(QLatin1Char('\n'))));
        report(qPrintable(QStringLiteral("record download, %1 records").arg(records)), total,
               reportsFor(vi.receivedFrames()));
        std::printf("%-34s %8.3f s of reading, %.3f s of building %d rows\n", "", modal.lastProgressMs / 1000,
                    (total - modal.lastProgressMs) / 1000, rows);
        QElapsedTimer layout;
        layout.start();
        QCoreApplication::processEvents();
        std::printf("%-34s %8.3f s for the table's first layout afterwards\n", "", double(layout.nsecsElapsed()) / 1e9);
        page.closeThreadSlot();
    }
    return 0;
}
