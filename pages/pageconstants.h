#pragma once

#include <QString>

// What the page's source files share about the colour-difference panel and the button looks.
namespace pageui {

// Panel columns and rows.
inline constexpr int kStandardColumn = 1;
inline constexpr int kSampleColumn = 2;
inline constexpr int kDifferenceColumn = 3;
inline constexpr int kWordColumn = 4;
inline constexpr int kDeltaERow = 6;

inline const QString kPlaceholder = QStringLiteral("-----");
inline const QString kStandardButtonActive =
    QStringLiteral("color: rgb(0, 0, 255); background-color: rgb(255, 255, 255);");
inline const QString kSampleButtonIdle =
    QStringLiteral("color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);");
inline const QString kPassStyle = QStringLiteral("QLabel{background-color: rgb(0, 255, 0);}");
// The result bar before a pair is judged: neither the PASS green nor the NG red.
inline const QString kNeutralStyle = QStringLiteral("QLabel{background-color: rgb(180, 180, 180);}");

} // namespace pageui
