#pragma once

#include <QLatin1String>
#include <QString>

// The verdict words a table or a spreadsheet may hold, whatever language it was made in: the
// English "PASS" and "NG" and the Chinese "合格" and "不合格". The page's language refresh and
// the table import recognise them through this one definition.
namespace verdictwords {

enum class Verdict { None, Pass, Ng };

inline const QString kPassZh = QStringLiteral("合格");
inline const QString kNgZh = QStringLiteral("不合格");

// Pass or Ng for one of the four words, compared exactly; None for any other text.
inline Verdict recognise(const QString &text)
{
    if (text == QLatin1String("PASS") || text == kPassZh)
        return Verdict::Pass;
    if (text == QLatin1String("NG") || text == kNgZh)
        return Verdict::Ng;
    return Verdict::None;
}

} // namespace verdictwords
