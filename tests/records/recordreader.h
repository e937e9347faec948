#pragma once

// The calibration record's file read the way another program would: a connection of its own.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantMap>

class RecordReader
{
public:
    explicit RecordReader(const QString &file) : m_name(QStringLiteral("reader-%1").arg(++s_count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        db.open();
    }
    ~RecordReader()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString &sql) { return QSqlQuery(QSqlDatabase::database(m_name, false)).exec(sql); }
    QVariant value(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    // The rows of one kind, oldest first, as column -> value.
    QList<QVariantMap> events(const QString &kind)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.prepare(QStringLiteral("SELECT * FROM events WHERE kind = ? ORDER BY id"));
        query.addBindValue(kind);
        QList<QVariantMap> rows;
        for (query.exec(); query.next();) {
            QVariantMap row;
            for (int i = 0; i < query.record().count(); ++i)
                row.insert(query.record().fieldName(i), query.value(i));
            rows.append(row);
        }
        return rows;
    }

private:
    static inline int s_count = 0;
    QString m_name;
};
