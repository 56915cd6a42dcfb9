#pragma once

// The program's one settings file, $XDG_CONFIG_HOME/ondrel/ulmix.conf
// (~/.config/ondrel/ulmix.conf when the variable is unset): UTF-8 text, one
// setting per line as "key = value", '#' starting a comment line, blank
// lines ignored. A missing file is a file without settings. Lines the
// program does not know are kept as they are when it writes the file, which
// it always replaces whole (written beside it, then renamed into place), so
// the file is never seen half written. Keys:
//
//   colecao = ADDRESS   the collection this user's windows use is on a
//                       PostgreSQL server (a URI, a connection string or
//                       "service=NAME"; never a password); without it they
//                       use the collection file.
//   mesa = NUMBER       this user's desk (desk.h), made the first time a
//                       collection on a server is opened.
#include <QString>
#include <QStringList>

namespace ondrel::db {

class Settings {
public:
    // The settings file of this user.
    static QString path();
    // The file as it is now; `error` gets why it could not be read (a file
    // that is there but unreadable), empty otherwise.
    static Settings read(QString* error = nullptr);

    QString value(const QString& key) const;
    void setValue(const QString& key, const QString& value);
    void remove(const QString& key);
    // Writes the file whole; returns why it could not (Portuguese), empty
    // on success.
    QString write() const;

private:
    QStringList m_lines;
};

// The key of the collection on a server.
inline constexpr const char* kCollectionKey = "colecao";

}  // namespace ondrel::db
