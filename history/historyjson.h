#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

// The values an event carries (a small JSON object: texts, numbers, null, true and false, arrays
// of numbers), read where they lie, without a document built of them: the check replays every
// row of a long history from its events, and building documents took a third of its time.
// Bytes that are not one JSON object read as an object without members, as Qt's reader gives.
class HistoryJsonObject
{
public:
    // Reads json, which must outlive this object; false when it is not one JSON object.
    bool parse(QByteArrayView json);

    bool contains(QByteArrayView key) const { return find(key) != nullptr; }
    // The member's number; otherwise when it is missing or not a number.
    double number(QByteArrayView key, double otherwise) const;
    // The member's text; empty when it is missing or not a text.
    QString text(QByteArrayView key) const;
    // The member's array, element by element, into values (n of them): numbers as they are,
    // anything else (or nothing: a short array, no array) as otherwise.
    void numbers(QByteArrayView key, double *values, int n, double otherwise) const;

private:
    enum class Kind { String, Number, Other, Array };
    struct Member
    {
        QByteArray key;          // unescaped
        Kind kind = Kind::Other;
        QByteArrayView raw;      // a string's bytes between the quotes; an array's from [ to ]
        bool escaped = false;    // a string with escapes
        double number = 0;
    };
    const Member *find(QByteArrayView key) const;
    std::vector<Member> m_members;
};
