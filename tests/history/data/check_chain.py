#!/usr/bin/env python3
"""Walks the chain of events of a history file on its own, with Python's sqlite3 and hashlib,
as the history's README describes it: each event's hash is SHA-256 over its fields, each
written as its length in UTF-8 bytes, a colon and the bytes, in this order: the previous
event's hash (empty for the first), chain id, place in the chain, uuid, time, login, host,
desk, kind, row uuid, old value, new value. Prints "intact N" or "broken K" (the first event
that does not fit) and, for each row, "row <id> <state>" as its events say.

    check_chain.py history.sqlite | postgresql:<connection string>
"""
import hashlib
import json
import sys

from historydb import connect


def field(text):
    data = (text or "").encode("utf-8")
    return str(len(data)).encode() + b":" + data


def main(path):
    db = connect(path)
    chain = db.one("SELECT chain_id FROM history_schema")[0]
    previous = ""
    expected = 1
    broken = None
    for row in db.rows(
            "SELECT chain_seq, uuid, at, login, host, desk, kind, row_uuid, old_value, new_value, hash "
            "FROM events WHERE chain_id = ? ORDER BY chain_seq", (chain,)):
        seq, uuid, at, login, host, desk, kind, row_uuid, old, new, stored = row
        content = b"".join(field(t) for t in
                           (previous, chain, str(seq), uuid, at, login, host, desk, kind, row_uuid, old, new))
        digest = hashlib.sha256(content).hexdigest()
        if seq != expected or digest != stored:
            broken = expected
            break
        previous = digest
        expected += 1
    print("broken %d" % broken if broken else "intact %d" % (expected - 1))
    states = {}
    for row_uuid, kind, new in db.rows(
            "SELECT row_uuid, kind, new_value FROM events WHERE chain_id = ? ORDER BY chain_seq", (chain,)):
        value = json.loads(new)
        states[row_uuid] = "in_table" if kind == "added" else value.get("state", states.get(row_uuid))
    for row_id, row_uuid in db.rows("SELECT id, uuid FROM measurements ORDER BY id"):
        print("row %d %s" % (row_id, states.get(row_uuid, "none")))


if __name__ == "__main__":
    main(sys.argv[1])
