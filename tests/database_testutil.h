#pragma once

#include "database/database.h"
#include "database/engineerror.h"

#include <QLocale>
#include <QTemporaryDir>
#include <functional>
#include <sqlite3.h>

namespace testutil {

// A fresh collection database in a temporary folder.
struct TempCollection {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("livrano.mdb"));
    TempCollection() { ondrel::db::Database::create(path, QStringLiteral("7Borel3")); }
    std::shared_ptr<ondrel::db::Database> open() const
    {
        return ondrel::db::Database::open(path, QString::fromLatin1(ondrel::db::kConnectString));
    }
};

// Reads the file the way the sqlite3 tool does: no functions of ours.
inline QString plainQuery(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QString out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + u'\n';
        } else {
            out = QStringLiteral("prepare failed: ") + QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out.trimmed();
}

// The engine error number an action fails with, 0 when it succeeds.
inline int errorNumber(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ondrel::db::EngineError& e) {
        return e.number();
    }
    return 0;
}

// Adds an object through a dynaset: fields given as (name, typed text).
inline void addRecord(ondrel::db::Recordset& rs, const QList<QPair<QString, QString>>& values)
{
    rs.addNew();
    for (const auto& [field, text] : values)
        rs.setText(field, text);
    rs.update();
}

}  // namespace testutil
