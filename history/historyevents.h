#pragma once

#include "historyrow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>

#include <memory>

// The history's audit trail. Every change to a stored row is an event, appended and never
// changed or removed: the row added (with everything it shows and where it came from), its test
// name changed, deleted, cleared, re-judged, exported, put back after a crash or not put back.
// Each event carries the values before and after as small JSON objects, so a row's state is
// what its events say, and the store's row table is only a copy of that kept for speed.
//
// The events form a chain: each one's hash is a SHA-256 over its own content and the previous
// event's hash, so an edited, removed or reordered event breaks the chain at that place. Only
// portable values go into the hash (UUIDs, texts), never a key the database numbered itself:
// the chain can be checked wherever the events are copied to.
enum class HistoryEventKind { Added, Renamed, Deleted, Cleared, Rejudged, Exported, Restored, NotRestored };

QString historyEventKindName(HistoryEventKind kind);
bool historyEventKindFromName(const QString &name, HistoryEventKind *kind);
bool historyEventKindFromName(QByteArrayView name, HistoryEventKind *kind);

struct HistoryEvent
{
    QString chainId;       // the chain it belongs to: one per history file
    qint64 sequence = 0;   // its place in the chain, from 1, without gaps
    QString uuid;          // made where it happened
    QString at;            // ISO 8601 UTC
    QString login;         // the user's login name
    QString host;          // the computer's host name
    QString desk;          // machine id and login name
    HistoryEventKind kind = HistoryEventKind::Added;
    QString rowUuid;       // the row it concerns
    QString oldValue;      // JSON object, compact; empty object for an added row
    QString newValue;      // JSON object, compact
    QString hash;          // lower-case hex SHA-256

    // The hash this event must have after an event with the hash previousHash (empty for the
    // first event of a chain).
    QString computeHash(const QString &previousHash) const;
};

// The fields of an event that its hash covers, in the order hashed, as UTF-8 bytes: what the
// check reads straight from the database, without making texts of them.
enum HistoryHashedField {
    HashedChainId,
    HashedSequence,
    HashedUuid,
    HashedAt,
    HashedLogin,
    HashedHost,
    HashedDesk,
    HashedKind,
    HashedRowUuid,
    HashedOldValue,
    HashedNewValue,
    kHashedFieldCount
};
// SHA-256 (lower-case hex, as Latin-1 bytes) over the previous hash and the fields, each
// written as its length in bytes, a colon and the bytes.
QByteArray historyEventHash(const QByteArray &previousHash, const QByteArray (&fields)[kHashedFieldCount]);

// The same hash made field by field, for a walk over a long chain: the digest is looked up once
// and each field goes straight in, with no buffer of the whole content built first.
//   hasher.begin(previous); hasher.add(field) for each field in order; hasher.finish()
class HistoryEventHasher
{
public:
    HistoryEventHasher();
    ~HistoryEventHasher();
    HistoryEventHasher(const HistoryEventHasher &) = delete;
    HistoryEventHasher &operator=(const HistoryEventHasher &) = delete;

    bool begin(QByteArrayView previousHash);
    void add(QByteArrayView field);
    // The lower-case hex digest (64 characters), valid until the next begin(); empty when the
    // digest could not be made.
    QByteArrayView finish();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Who makes the changes: written into every event, and the desk into every row and run.
struct HistoryIdentity
{
    QString login;
    QString host;
    QString desk; // machine id and login name

    // The user and computer this program runs as.
    static HistoryIdentity ofThisDesk();
};

// The values an event gives, as JSON text and back.
QString historyJson(const QJsonObject &object);
QJsonObject historyJsonObject(const QString &text);

// Everything an added row shows and where it came from, as its Added event carries it.
// runUuid: the run it was stored in.
QJsonObject historyRowContent(const HistoryRow &row, const QString &runUuid);
// What a judgement sets (ΔE, verdict, formula, threshold and the instrument texts).
QJsonObject historyJudgement(const HistoryRow &row);
// The judgement's fields that object has, into row (the others stay as they are).
void historyReadJudgement(const QJsonObject &object, HistoryRow *row);

// A row's state replayed from its events, oldest first. ok is false when the events cannot be
// a row's (the first is not an Added, or an event is not known).
struct HistoryReplay
{
    bool ok = false;
    HistoryRow row;   // state, origin and values; id and runId are not known here
    QString runUuid;  // the run it is in now
    QString problem;  // what did not fit, in plain English, for the log
};
class HistoryReplayer
{
public:
    // Applies one event of the row; false (and the result's problem) when it cannot follow the
    // ones before. newValue: the event's new value, JSON as UTF-8.
    bool apply(const HistoryEvent &event);
    bool apply(HistoryEventKind kind, const QString &rowUuid, const QString &at, const QString &desk,
               const QByteArray &newValue);
    const HistoryReplay &result() const { return m_replay; }

private:
    HistoryReplay m_replay;
    bool m_started = false;
};
