#include "historyjson.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace {

// Nesting deeper than this is not an event's: the bytes are refused rather than followed.
constexpr int kMaxDepth = 64;

class Reader
{
public:
    explicit Reader(QByteArrayView json) : m_p(json.data()), m_end(json.data() + json.size()) {}

    const char *position() const { return m_p; }
    bool atEnd()
    {
        skipSpace();
        return m_p == m_end;
    }
    void skipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }
    bool take(char c)
    {
        skipSpace();
        if (m_p < m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }
    bool peekNumber()
    {
        skipSpace();
        return m_p < m_end && (*m_p == '-' || (*m_p >= '0' && *m_p <= '9'));
    }
    bool peek(char c)
    {
        skipSpace();
        return m_p < m_end && *m_p == c;
    }
    // A string at the position: its bytes between the quotes, and whether it has escapes.
    bool string(QByteArrayView *inside, bool *escaped)
    {
        if (!take('"'))
            return false;
        const char *begin = m_p;
        *escaped = false;
        while (m_p < m_end) {
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                *inside = QByteArrayView(begin, m_p - begin);
                ++m_p;
                return true;
            }
            if (c >= 0x80) {
                // Text that is not UTF-8 is refused, as Qt's reader refuses it.
                if (!utf8Sequence())
                    return false;
                continue;
            }
            // Qt's reader takes control characters in a text, and an unknown escape as the
            // character escaped: so does this one, so that both read the same values.
            if (c == '\\') {
                *escaped = true;
                if (++m_p == m_end)
                    return false;
                if (*m_p == 'u') {
                    for (int i = 0; i < 4; ++i)
                        if (++m_p == m_end || !std::isxdigit(static_cast<unsigned char>(*m_p)))
                            return false;
                } else if (static_cast<unsigned char>(*m_p) >= 0x80) {
                    return false;
                }
            }
            ++m_p;
        }
        return false;
    }
    // A number at the position, as JSON writes one.
    bool number(double *value)
    {
        skipSpace();
        const char *begin = m_p;
        if (m_p < m_end && *m_p == '-')
            ++m_p;
        if (m_p < m_end && *m_p == '0') {
            ++m_p;
        } else if (!digits()) {
            return false;
        }
        if (m_p < m_end && *m_p == '.') {
            ++m_p;
            if (!digits())
                return false;
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            if (!digits())
                return false;
        }
        const auto result = std::from_chars(begin, m_p, *value);
        return result.ec == std::errc() && result.ptr == m_p;
    }
    bool word(const char *w)
    {
        skipSpace();
        const size_t n = std::strlen(w);
        if (size_t(m_end - m_p) < n || std::memcmp(m_p, w, n) != 0)
            return false;
        m_p += n;
        return true;
    }
    // Any value, passed over; its kind.
    bool value(int depth)
    {
        if (depth > kMaxDepth)
            return false;
        skipSpace();
        if (m_p == m_end)
            return false;
        QByteArrayView inside;
        bool escaped = false;
        double n = 0;
        switch (*m_p) {
        case '"':
            return string(&inside, &escaped);
        case '{':
            ++m_p;
            if (take('}'))
                return true;
            do {
                if (!string(&inside, &escaped) || !take(':') || !value(depth + 1))
                    return false;
            } while (take(','));
            return take('}');
        case '[':
            ++m_p;
            if (take(']'))
                return true;
            do {
                if (!value(depth + 1))
                    return false;
            } while (take(','));
            return take(']');
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return number(&n);
        }
    }

private:
    // One UTF-8 sequence of two to four bytes at the position (RFC 3629: no overlong forms, no
    // surrogates, nothing above U+10FFFF), passed over.
    bool utf8Sequence()
    {
        const auto byte = [this](qsizetype i) { return static_cast<unsigned char>(m_p[i]); };
        const unsigned char lead = byte(0);
        int length = 0;
        unsigned char low = 0x80, high = 0xbf; // the second byte's range
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        } else {
            return false;
        }
        if (m_end - m_p < length || byte(1) < low || byte(1) > high)
            return false;
        for (int i = 2; i < length; ++i)
            if (byte(i) < 0x80 || byte(i) > 0xbf)
                return false;
        m_p += length;
        return true;
    }

    bool digits()
    {
        const char *begin = m_p;
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
            ++m_p;
        return m_p != begin;
    }

    const char *m_p;
    const char *m_end;
};

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// A JSON string's inside with its escapes resolved, as UTF-8.
QByteArray unescaped(QByteArrayView raw)
{
    QString text;
    text.reserve(raw.size());
    qsizetype plain = 0;
    auto flush = [&](qsizetype until) {
        text += QString::fromUtf8(raw.sliced(plain, until - plain));
    };
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\')
            continue;
        flush(i);
        const char e = raw[++i];
        switch (e) {
        case 'b': text += u'\b'; break;
        case 'f': text += u'\f'; break;
        case 'n': text += u'\n'; break;
        case 'r': text += u'\r'; break;
        case 't': text += u'\t'; break;
        case 'u': {
            char16_t unit = 0;
            for (int k = 1; k <= 4; ++k)
                unit = char16_t(unit * 16 + hexValue(raw[i + k]));
            text += QChar(unit);
            i += 4;
            break;
        }
        default: text += QLatin1Char(e); break; // " \ /
        }
        plain = i + 1;
    }
    flush(raw.size());
    return text.toUtf8();
}

} // namespace

bool HistoryJsonObject::parse(QByteArrayView json)
{
    m_members.clear();
    Reader r(json);
    auto failed = [this] {
        m_members.clear();
        return false;
    };
    if (!r.take('{'))
        return failed();
    if (!r.take('}')) {
        do {
            Member m;
            QByteArrayView key;
            bool keyEscaped = false;
            if (!r.string(&key, &keyEscaped) || !r.take(':'))
                return failed();
            m.key = keyEscaped ? unescaped(key) : key.toByteArray();
            r.skipSpace();
            const char *begin = r.position();
            if (r.peek('"')) {
                m.kind = Kind::String;
                if (!r.string(&m.raw, &m.escaped))
                    return failed();
            } else if (r.peek('[')) {
                m.kind = Kind::Array;
                if (!r.value(1))
                    return failed();
                m.raw = QByteArrayView(begin, r.position() - begin);
            } else if (r.peekNumber()) {
                m.kind = Kind::Number;
                if (!r.number(&m.number))
                    return failed();
            } else if (!r.value(1)) {
                return failed();
            }
            m_members.push_back(std::move(m));
        } while (r.take(','));
        if (!r.take('}'))
            return failed();
    }
    if (!r.atEnd())
        return failed();
    return true;
}

const HistoryJsonObject::Member *HistoryJsonObject::find(QByteArrayView key) const
{
    // The last of members with the same name counts, as in Qt's reader.
    for (auto it = m_members.rbegin(); it != m_members.rend(); ++it)
        if (it->key == key)
            return &*it;
    return nullptr;
}

double HistoryJsonObject::number(QByteArrayView key, double otherwise) const
{
    const Member *m = find(key);
    return m && m->kind == Kind::Number ? m->number : otherwise;
}

QString HistoryJsonObject::text(QByteArrayView key) const
{
    const Member *m = find(key);
    if (!m || m->kind != Kind::String)
        return QString();
    return m->escaped ? QString::fromUtf8(unescaped(m->raw)) : QString::fromUtf8(m->raw);
}

void HistoryJsonObject::numbers(QByteArrayView key, double *values, int n, double otherwise) const
{
    for (int i = 0; i < n; ++i)
        values[i] = otherwise;
    const Member *m = find(key);
    if (!m || m->kind != Kind::Array)
        return;
    Reader r(m->raw);
    r.take('[');
    if (r.take(']'))
        return;
    for (int i = 0;; ++i) {
        double v = 0;
        const bool isNumber = r.peekNumber();
        if (isNumber ? !r.number(&v) : !r.value(1))
            return;
        if (i < n && isNumber)
            values[i] = v;
        if (!r.take(','))
            return;
    }
}
