#include "tablesheet.h"

#include <cmath>

namespace tablesheet {

namespace {

const char *const kHeaderEnglish[kColumns] = {
    "NO",        "Model",       "SN",          "Name",        "Time",        "Standard L*", "Standard a*",
    "Standard b*", "Standard C*", "Standard h", "Sample L*",   "Sample a*",   "Sample b*",   "Sample C*",
    "Sample h",  "△E Formula",  "△E Thresholds", "△E",        "Result",
};
const char *const kHeaderChinese[kColumns] = {
    "序号",    "型号",    "序列号",  "名称",    "时间",  "标准色L*", "标准色a*", "标准色b*", "标准色C*", "标准色h",
    "样品色L*", "样品色a*", "样品色b*", "样品色C*", "样品色h", "△E公式", "△E阀值",   "△E",       "是否合格",
};

} // namespace

QString headerText(int column, bool chinese)
{
    if (column < 0 || column >= kColumns)
        return QString();
    return QString::fromUtf8(chinese ? kHeaderChinese[column] : kHeaderEnglish[column]);
}

QList<QVariant> header(bool chinese)
{
    QList<QVariant> row;
    row.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c)
        row.append(headerText(c, chinese));
    return row;
}

QString numberText(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("-----");
}

QList<QVariant> cells(const Values &v)
{
    QList<QVariant> row;
    row.reserve(kColumns);
    row << QString::number(v.sequence, 'g', 6) << v.deviceName << v.serialNumber << v.testName << v.timeText;
    for (int i = 0; i < 5; ++i)
        row << numberText(v.standard[size_t(i)], i == 4 ? 1 : 2);
    for (int i = 0; i < 5; ++i)
        row << numberText(v.sample[size_t(i)], i == 4 ? 1 : 2);
    row << v.formulaText << v.thresholdText << numberText(v.deltaE, 2) << v.verdict;
    return row;
}

} // namespace tablesheet
