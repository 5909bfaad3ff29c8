#include "testsupport.h"

#include "firstpagefortesk.h"
#include "virtualinstrument.h"

#include <QBrush>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace testsupport {

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

QTableView *measurementTable(const FirstPageForTesk *page)
{
    return child<QTableView>(page, "tbData");
}

QString cellText(const QTableView *table, int row, int column)
{
    const QModelIndex index = table->model()->index(row, column);
    return index.isValid() ? index.data().toString() : QStringLiteral("<none>");
}

QColor cellBackground(const QTableView *table, int row, int column)
{
    return table->model()->index(row, column).data(Qt::BackgroundRole).value<QBrush>().color();
}

void clickRowButton(FirstPageForTesk *page, int row, int column)
{
    QTableView *table = measurementTable(page);
    const QModelIndex index = table->model()->index(row, column);
    QVERIFY(index.isValid());
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, table->visualRect(index).center());
}

void editTestName(FirstPageForTesk *page, int row, const QString &name)
{
    QTableView *table = measurementTable(page);
    QVERIFY(table->model()->setData(table->model()->index(row, 1), name));
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
