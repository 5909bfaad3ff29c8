#include "applook.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QPalette>

void applyApplicationLook(QApplication &app)
{
    // The theme's first rule is "QPalette{background:#FFFFFF;}": its colour stands at characters
    // 20 to 26 and is taken from there by position.
    QFile file(QStringLiteral(":/qss/psblue.css"));
    if (file.open(QFile::ReadOnly)) {
        const QString qss = QString::fromLatin1(file.readAll());
        const QString paletteColor = qss.mid(20, 7);
        app.setPalette(QPalette(QColor::fromString(paletteColor)));
        app.setStyleSheet(qss);
        file.close();
    }

    QFont font;
    // The instrument's home font first; the others render Chinese where it is not installed.
    font.setFamilies({QStringLiteral("Microsoft Yahei"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
    font.setPointSize(12);
    app.setFont(font);
}
