#include "csvtext.h"

namespace csvtext {

QString field(const QString &text)
{
    QString t = text;
    if (!t.isEmpty()) {
        const QChar c = t.at(0);
        if (c == u'=' || c == u'+' || c == u'@' || c == u'\t' || c == u'\r'
            || (c == u'-' && t.size() > 1 && !t.at(1).isDigit() && t.at(1) != u'.'))
            t.prepend(u'\'');
    }
    if (t.contains(u',') || t.contains(u'"') || t.contains(u'\n') || t.contains(u'\r')) {
        t.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        t = u'"' + t + u'"';
    }
    return t;
}

QString line(const QStringList &fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString &f : fields)
        quoted << field(f);
    return quoted.join(u',') + QStringLiteral("\r\n");
}

} // namespace csvtext
