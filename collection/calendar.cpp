#include "calendar.h"

#include "collection.h"
#include "duedates.h"
#include "statements.h"

#include "core/values.h"
#include "database/database.h"
#include "database/recordset.h"

#include <QCryptographicHash>
#include <QIODevice>

namespace ondrel::db {

namespace {

// A TEXT value: backslash, semicolon, comma and line breaks escaped.
QByteArray escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u';' || c == u',')
            out += u'\\';
        if (c == u'\r') {
            if (text.mid(i + 1, 1) != u"\n")
                out += QStringLiteral("\\n");
            continue;
        }
        out += c == u'\n' ? QStringLiteral("\\n") : QString(c);
    }
    return out.toUtf8();
}

// One content line, folded after at most 75 octets (never inside a UTF-8
// character), the next part starting with a space; CRLF after each.
void writeLine(QIODevice& out, const QByteArray& line)
{
    qsizetype from = 0;
    qsizetype room = 75;
    while (line.size() - from > room) {
        qsizetype cut = from + room;
        while (cut > from && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.write(line.mid(from, cut - from) + "\r\n ");
        from = cut;
        room = 74;  // the space counts
    }
    out.write(line.mid(from) + "\r\n");
}

QByteArray calendarDate(const QDate& day)
{
    return day.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

}  // namespace

void writeLoansCalendar(Database& database, const QDateTime& stamp, QIODevice& out)
{
    const DueRule rule = dueRuleOf(database, QDate());
    // The collection's own salt, made when it was created and kept by its
    // copies, names it in every UID without showing it.
    const QByteArray collection =
        QCryptographicHash::hash(database.collectionValue(QStringLiteral("salt")).toUtf8() + "ondrel-uid",
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const QByteArray stamped = stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    for (const char* line : {"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Ondrel//Ulmix//PT-BR", "CALSCALE:GREGORIAN"})
        writeLine(out, line);
    writeLine(out, "X-WR-CALNAME:" + escaped(QStringLiteral("Ulmix: empréstimos")));
    const auto loans = database.openRecordset(allLoans(), RecordsetType::Dynaset);
    for (; !loans->eof(); loans->moveNext()) {
        const QString code = loans->text(QStringLiteral("codobjeto"));
        const QString title = loans->text(QStringLiteral("Título"));
        const QString name = loans->text(QStringLiteral("Nome"));
        const QVariant lent = loans->value(QStringLiteral("Data"));
        const QString returned = loans->text(QStringLiteral("Entregue"));
        writeLine(out, "BEGIN:VTODO");
        writeLine(out, "UID:emprestimo-" + loans->text(QStringLiteral("cod")).toLatin1() + '-' + collection + "@ulmix");
        writeLine(out, "DTSTAMP:" + stamped);
        writeLine(out, "SUMMARY:" + escaped(QStringLiteral("Devolução: %1 (%2), com %3")
                                                .arg(title.isEmpty() ? loans->text(QStringLiteral("objeto")) : title, code, name)));
        QString description = QStringLiteral("Emprestado a %1").arg(name);
        if (lent.typeId() == QMetaType::QDate)
            description += QStringLiteral(" em %1").arg(formatDate(lent.toDate()));
        description += u'.';
        if (const QString remarks = loans->text(QStringLiteral("observações")); !remarks.isEmpty())
            description += QStringLiteral("\n\n") + remarks;
        writeLine(out, "DESCRIPTION:" + escaped(description));
        const QVariant prazo = rule.prazoKept ? loans->value(QStringLiteral("prazo")) : QVariant();
        if (const auto due = rule.dueDate(lent, prazo))
            writeLine(out, "DUE;VALUE=DATE:" + calendarDate(*due));
        if (returned == kNotReturned)
            writeLine(out, "STATUS:NEEDS-ACTION");
        else if (returned == kReturned)
            writeLine(out, "STATUS:COMPLETED");
        writeLine(out, "END:VTODO");
    }
    writeLine(out, "END:VCALENDAR");
}

}  // namespace ondrel::db
