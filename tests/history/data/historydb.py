"""Opens a history for the check scripts beside it: a SQLite file (Python's sqlite3), or a
PostgreSQL database given as "postgresql:<libpq connection string>" (psycopg2, Debian's
python3-psycopg2). rows() takes SQL with ? placeholders either way."""
import sqlite3


class History:
    def __init__(self, target):
        if target.startswith("postgresql:"):
            import psycopg2
            self.db = psycopg2.connect(target[len("postgresql:"):])
            self.server = True
        else:
            self.db = sqlite3.connect(target)
            self.server = False

    def rows(self, sql, params=()):
        if not self.server:
            return self.db.execute(sql, params)
        cursor = self.db.cursor()
        cursor.execute(sql.replace("%", "%%").replace("?", "%s"), params)
        return cursor

    def one(self, sql, params=()):
        return next(iter(self.rows(sql, params)))


def connect(target):
    return History(target)
