// The measurement flow of the page: the two scan buttons, measurements by command and pushed
// by the instrument, the evaluation of a pair and the verdicts.
#include "firstpagefortesk.h"

#include "pageconstants.h"

#include "cprotocol.h"
#include "deltae.h"
#include "linklog.h"
#include "linkport.h"
#include "modal.h"
#include "pushedframes.h"
#include "ui_firstpagefortesk.h"
#include "verdict.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QTableWidgetItem>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcPage)

using namespace pageui;

namespace {

const QString kSampleButtonActive = QStringLiteral("color: rgb(0, 0, 255);background-color: rgb(255, 255, 255);");
const QString kStandardButtonIdle = QStringLiteral("color: rgb(0, 0, 0); background-color: rgb(255, 255, 255);");
const QString kNgStyle = QStringLiteral("QLabel{background:red;}");

constexpr int kPushedShowDelayMs = 500;
// A frame whose rest has not come within this time is given up: joined to the next frame's
// bytes it would show values that were never measured.
constexpr qint64 kPartialFrameMaxAgeMs = 500;

// Swallows the mouse and key input meant for one window while a measurement runs there. The
// flows let events run (to paint the placeholders, to show a pushed frame), and a click or a
// held key arriving then would start another measurement nested in the running one. Other
// windows (a message box, the demo panel) keep their input.
class InputBlocker : public QObject
{
public:
    explicit InputBlocker(QWidget *window) : m_window(window) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
            if (watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == m_window)
                return true;
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget *m_window;
};

// While the command or the shown frame makes the user wait: the busy cursor.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

// One measurement flow at a time: marks the page busy and holds the window's input back. At
// the end the input that queued up meanwhile is let through once more, still held back, so a
// click made during the wait does not start a second measurement afterwards either.
class MeasurementBusy
{
public:
    explicit MeasurementBusy(FirstPageForTesk *page) : m_page(page), m_blocker(page->window())
    {
        m_page->m_busy = true;
    }
    ~MeasurementBusy()
    {
        QCoreApplication::processEvents();
        m_page->m_busy = false;
    }
    MeasurementBusy(const MeasurementBusy &) = delete;
    MeasurementBusy &operator=(const MeasurementBusy &) = delete;

private:
    FirstPageForTesk *m_page;
    InputBlocker m_blocker;
};

bool FirstPageForTesk::parametersKnown() const
{
    return formulaIndex >= 0 && formulaIndex <= 5 && threshold >= 0;
}

bool FirstPageForTesk::linkReady()
{
    const LinkPort *port = LinkPort::current();
    if (port && port->isLinkOpen())
        return true;
    Modal::information(this, tr("Error"), tr("Please connect the device first!"));
    return false;
}

void FirstPageForTesk::on_stdmeasurementBtn_clicked()
{
    if (m_busy || !linkReady())
        return;
    {
        MeasurementBusy busy(this);
        for (int row = 0; row <= 5; ++row) {
            if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kStandardColumn))
                item->setForeground(Qt::blue);
            if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kSampleColumn))
                item->setForeground(Qt::black);
        }
        // The side shows placeholders from here on, and a frame pushed meanwhile belongs to it.
        for (int row = 1; row <= 5; ++row)
            setPanelCell(row, kStandardColumn, kPlaceholder, Qt::blue);
        standardCaptured = false;
        measureTarget = 1;
        ui->stdmeasurementBtn->setStyleSheet(kStandardButtonActive);
        ui->samplemeasurementBtn->setStyleSheet(kSampleButtonIdle);
        QCoreApplication::processEvents(); // paint the placeholders before the blocking command
        readstdmeasurement();
    }
    showPendingPushes();
}

void FirstPageForTesk::on_samplemeasurementBtn_clicked()
{
    if (m_busy || !linkReady())
        return;
    {
        MeasurementBusy busy(this);
        for (int row = 0; row <= 5; ++row) {
            if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kSampleColumn))
                item->setForeground(Qt::blue);
            if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kStandardColumn))
                item->setForeground(Qt::black);
        }
        for (int row = 1; row <= 5; ++row)
            setPanelCell(row, kSampleColumn, kPlaceholder, Qt::blue);
        sampleCaptured = false;
        measureTarget = 2;
        ui->samplemeasurementBtn->setStyleSheet(kSampleButtonActive);
        ui->stdmeasurementBtn->setStyleSheet(kStandardButtonIdle);
        QCoreApplication::processEvents();
        readsamplemeasurement();
    }
    showPendingPushes();
}

void FirstPageForTesk::readstdmeasurement()
{
    readMeasurementInto(1);
}

void FirstPageForTesk::readsamplemeasurement()
{
    readMeasurementInto(2);
}

void FirstPageForTesk::readMeasurementInto(int target)
{
    Measurement m;
    int rc;
    {
        // Without a worker nothing polls the link, so there is nothing to lock out.
        QMutexLocker<QMutex> locker(worker ? &worker->mutex : nullptr);
        WaitCursor waiting;
        rc = CProtocol::instance()->readMeasurement(&m.L, &m.a, &m.b, &m.C, &m.h, &m.r, &m.g, &m.bl);
    }
    if (rc < 0) {
        qCInfo(lcPage) << "measurement command failed with" << rc;
        // The side no longer shows a colour: a pair must not be judged against placeholders,
        // which would read as zeros.
        const int column = target == 1 ? kStandardColumn : kSampleColumn;
        for (int row = 1; row <= 5; ++row)
            setPanelCell(row, column, kPlaceholder, Qt::blue);
        (target == 1 ? standardCaptured : sampleCaptured) = false;
        Modal::information(this, tr("Error"), tr("Failed to read measurement data!"));
        return;
    }
    showMeasurement(target, m);
}

void FirstPageForTesk::showMeasurement(int target, const Measurement &m)
{
    const int column = target == 1 ? kStandardColumn : kSampleColumn;
    const int values[] = {m.L, m.a, m.b, m.C, m.h};
    for (int row = 1; row <= 5; ++row)
        setPanelCell(row, column, QString::number(values[row - 1] / 100.0, 'f', 2), Qt::blue);
    (target == 1 ? ui->stdBtnGroubox : ui->sampBtnGroubox)->setStyleSheet(swatchStyle(m.r, m.g, m.bl));
    bool &captured = target == 1 ? standardCaptured : sampleCaptured;
    const bool otherCaptured = target == 1 ? sampleCaptured : standardCaptured;
    captured = true;
    if (otherCaptured)
        evaluatePair();
}

void FirstPageForTesk::SaveData(const QByteArray &baData)
{
    // A partial frame whose rest did not come in time is given up, not joined to what follows.
    if (!receiveBuffer.isEmpty() && m_partialAge.isValid() && m_partialAge.elapsed() > kPartialFrameMaxAgeMs) {
        qCDebug(lcFrames) << "partial pushed frame dropped:" << receiveBuffer.toHex(' ');
        receiveBuffer.clear();
    }
    receiveBuffer.append(baData);

    // Take every frame out of what has arrived. A frame cut at the end of the chunk stays in the
    // buffer to be completed by the next one; bytes that cannot start a frame are dropped.
    for (const PushedFrame &f : takePushedFrames(receiveBuffer)) {
        // The instrument's own pushes were never checked against their CRC, and are not refused
        // now; a mismatch is worth a line in the frame log.
        if (!f.crcMatches)
            qCDebug(lcFrames) << "pushed frame with a wrong CRC, shown all the same:" << f.bytes.toHex(' ');
        Measurement m;
        m.L = f.L;
        m.a = f.a;
        m.b = f.b;
        m.C = f.C;
        m.h = f.h;
        m.r = f.r;
        m.g = f.g;
        m.bl = f.bl;
        m_pushed.append(m);
    }
    if (!receiveBuffer.isEmpty())
        m_partialAge.start();
    else
        m_partialAge.invalidate();

    // While a measurement is taken or shown, further frames wait and are shown after it, in
    // the order they came.
    showPendingPushes();
}

void FirstPageForTesk::showPendingPushes()
{
    // Frames that come during the last flush of input are shown by the next round.
    while (!m_busy && !m_pushed.isEmpty()) {
        MeasurementBusy busy(this);
        while (!m_pushed.isEmpty())
            showPushedMeasurement(m_pushed.takeFirst());
    }
}

void FirstPageForTesk::showPushedMeasurement(const Measurement &m)
{
    const int target = measureTarget;
    if (target != 1 && target != 2)
        return;
    const int column = target == 1 ? kStandardColumn : kSampleColumn;
    for (int row = 1; row <= 5; ++row)
        setPanelCell(row, column, kPlaceholder, Qt::blue);
    (target == 1 ? standardCaptured : sampleCaptured) = false;
    QCoreApplication::processEvents();
    {
        WaitCursor waiting;
        CProtocol::delayMs(kPushedShowDelayMs);
    }
    RowOriginScope origin(rowOrigin, {RowOrigin::Pushed, QString()});
    showMeasurement(target, m);
}

void FirstPageForTesk::setResult(bool pass)
{
    ui->resultlab->setProperty("parametersUnknown", false);
    ui->resultlab->setText(pass ? tr("PASS") : tr("NG"));
    ui->resultlab->setStyleSheet(pass ? kPassStyle : kNgStyle);
}

void FirstPageForTesk::showUnknownParameters()
{
    // Without the instrument's formula and threshold there is no ΔE to show and nothing to
    // judge: a verdict now would be a guess.
    setPanelCell(kDeltaERow, kDifferenceColumn, kPlaceholder, Qt::black);
    ui->resultlab->setProperty("parametersUnknown", true);
    ui->resultlab->setText(tr("△E parameters unknown"));
    ui->resultlab->setStyleSheet(kNeutralStyle);
}

void FirstPageForTesk::evaluatePair()
{
    std::array<double, 5> standard{};
    std::array<double, 5> sample{};
    const LabAxis axes[] = {LabAxis::L, LabAxis::a, LabAxis::b};
    for (int row = 1; row <= 5; ++row) {
        standard[row - 1] = panelText(row, kStandardColumn).toDouble();
        sample[row - 1] = panelText(row, kSampleColumn).toDouble();
        // Hues are angles: 359° and 1° lie 2° apart.
        const double d = row == 5 ? hueDifference(standard[4], sample[4]) : sample[row - 1] - standard[row - 1];
        setPanelCell(row, kDifferenceColumn, QString::number(d, 'g', 6), Qt::black);
        if (row <= 3)
            setPanelCell(row, kWordColumn, tr(deviationWord(axes[row - 1], d)), Qt::black);
        else if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kWordColumn))
            item->setForeground(Qt::black);
    }
    if (QTableWidgetItem *item = ui->tbColorDiff->item(kDeltaERow, kWordColumn))
        item->setForeground(Qt::black);
    if (!parametersKnown()) {
        // Shown, not judged: no verdict, no count, no row.
        showUnknownParameters();
        return;
    }
    const double deltaE = computeDeltaE(formulaIndex, {standard[0], standard[1], standard[2]},
                                        {sample[0], sample[1], sample[2]});
    setPanelCell(kDeltaERow, kDifferenceColumn, QString::number(deltaE, 'f', 2), Qt::black);

    ++totalCount;
    const bool pass = passes(deltaE, threshold);
    if (pass)
        ++passCount;
    else
        ++ngCount;
    setResult(pass);
    showCounters();

    ++testCounter;
    MeasurementRecord record;
    record.sequence = totalCount;
    record.testName = QStringLiteral("Comp%1").arg(testCounter);
    record.timeText = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd  hh:mm"));
    record.standard = standard;
    record.sample = sample;
    record.deltaE = deltaE;
    record.verdict = pass ? tr("PASS") : tr("NG");
    record.formulaText = ui->formulaEdit->text();
    record.thresholdText = ui->ThresholdsEdit->text();
    record.deviceName = ui->DeviceNameEdit->text();
    record.serialNumber = ui->serialNoEdit->text();
    appendRow(record);
}

void FirstPageForTesk::refreshVerdict()
{
    const QTableWidgetItem *standardItem = ui->tbColorDiff->item(1, kStandardColumn);
    const QTableWidgetItem *sampleItem = ui->tbColorDiff->item(1, kSampleColumn);
    if (!standardItem || !sampleItem || standardItem->text() == tr("-----")
        || sampleItem->text() == tr("-----") || standardItem->text() == kPlaceholder
        || sampleItem->text() == kPlaceholder)
        return;
    if (!parametersKnown()) {
        showUnknownParameters();
        return;
    }
    LabColor standard, sample;
    standard.L = panelText(1, kStandardColumn).toDouble();
    standard.a = panelText(2, kStandardColumn).toDouble();
    standard.b = panelText(3, kStandardColumn).toDouble();
    sample.L = panelText(1, kSampleColumn).toDouble();
    sample.a = panelText(2, kSampleColumn).toDouble();
    sample.b = panelText(3, kSampleColumn).toDouble();
    const double deltaE = computeDeltaE(formulaIndex, standard, sample);
    setPanelCell(kDeltaERow, kDifferenceColumn, QString::number(deltaE, 'f', 2), Qt::black);
    setResult(passes(deltaE, threshold));
}

void FirstPageForTesk::reevaluateRows()
{
    // Rows keep the verdicts they were given while the parameters in force are unknown.
    if (m_model->rowCount() <= 0 || !parametersKnown())
        return;
    ngCount = passCount = totalCount = 0;
    // A row keeps where it came from (device name and serial number, imported rows included);
    // only the judgement and what it was judged by change. The values judged are those shown.
    const QString formulaText = ui->formulaEdit->text();
    const QString thresholdText = ui->ThresholdsEdit->text();
    const QString pass = tr("PASS"), ng = tr("NG");
    m_model->changeAll(
        [&](MeasurementRecord &record) {
            const LabColor standard{record.standard[0], record.standard[1], record.standard[2]};
            const LabColor sample{record.sample[0], record.sample[1], record.sample[2]};
            const double deltaE = computeDeltaE(formulaIndex, standard, sample);
            ++totalCount;
            // Not "passes": an undefined comparison counts as a pass here too.
            const bool isNg = deltaE > threshold;
            if (isNg)
                ++ngCount;
            else
                ++passCount;
            record.deltaE = deltaE;
            record.verdict = isNg ? ng : pass;
            record.formulaText = formulaText;
            record.thresholdText = thresholdText;
        },
        ColDeltaE, ColThreshold);
    showCounters();
    emit rowsRejudged();
}
