#include "testsupport.h"

#include "firstpagefortesk.h"
#include "virtualinstrument.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace testsupport {

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

QStringList counters(const FirstPageForTesk *page)
{
    return {child<QLineEdit>(page, "UnqualnumEdit")->text(), child<QLineEdit>(page, "QualnumEdit")->text(),
            child<QLineEdit>(page, "TotalnumEdit")->text()};
}

void measure(FirstPageForTesk *page, VirtualInstrument *vi, int side, double L, double a, double b)
{
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(L, a, b));
    child<QPushButton>(page, side == 1 ? "stdmeasurementBtn" : "samplemeasurementBtn")->click();
}

LogCapture::LogCapture(Mode mode)
{
    s_lines.clear();
    s_mode = mode;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
}

QStringList LogCapture::lines()
{
    return s_lines;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (s_mode == WarningsOnly) {
        if (type != QtDebugMsg)
            s_lines << message;
        return;
    }
    s_lines << QString::fromLatin1(context.category ? context.category : "") + QLatin1String(": ") + message;
}

WordTranslator::WordTranslator(const char *context, QHash<QString, QString> words)
    : m_context(context), m_words(std::move(words))
{
}

QString WordTranslator::translate(const char *context, const char *source, const char *, int) const
{
    return m_context == context ? m_words.value(QString::fromUtf8(source)) : QString();
}

} // namespace testsupport
