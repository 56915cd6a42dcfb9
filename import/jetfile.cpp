#include "jetfile.h"

#include "importerror.h"
#include "windows1252.h"
#include "import/reader/jetstream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>

#include <cmath>
#include <cstring>

namespace ondrel::import {

namespace js = jetstream;

namespace {

// The reader child: beside the program, or in the build's plug-in folder
// (the tests run from folders of their own).
QString readerProgram()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ondrel-jet-reader"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(ONDREL_JET_READER_BUILT);
}

QString unreadable(const QString& path, const QString& why)
{
    return QStringLiteral("O arquivo Jet \"%1\" não pôde ser lido: %2").arg(QDir::toNativeSeparators(path), why);
}

QString failureText(int reason, const QString& table)
{
    switch (reason) {
    case js::CannotOpen:
        return QStringLiteral("ele não se abre como um banco de dados Jet.");
    case js::NoCatalog:
        return QStringLiteral("a lista das suas tabelas está danificada.");
    case js::BadTable:
        return QStringLiteral("a definição da tabela %1 está danificada.").arg(table);
    case js::BadRow:
        return QStringLiteral("uma linha da tabela %1 está danificada.").arg(table);
    case js::BadLongValue:
        return QStringLiteral("um texto longo (memorando) da tabela %1 está danificado.").arg(table);
    default:
        return QStringLiteral("o leitor de arquivos Jet recusou o arquivo.");
    }
}

// Jet 4 text: UTF-16LE, or its compressed form (FF FE, then runs of one-byte
// characters and of UTF-16LE characters, a zero byte switching between them).
bool jet4Text(QByteArrayView b, QString& text)
{
    if (b.size() >= 2 && quint8(b[0]) == 0xFF && quint8(b[1]) == 0xFE) {
        text.clear();
        text.reserve(b.size());
        bool compressed = true;
        for (qsizetype i = 2; i < b.size();) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(quint8(b[i++])));
            } else {
                if (i + 1 >= b.size())
                    return false;
                text.append(QChar(char16_t(quint8(b[i]) | quint8(b[i + 1]) << 8)));
                i += 2;
            }
        }
        return true;
    }
    if (b.size() % 2 != 0)
        return false;
    text = QString(reinterpret_cast<const QChar*>(b.data()), b.size() / 2);
    return true;
}

template <typename T>
T little(QByteArrayView b)
{
    T value;
    std::memcpy(&value, b.data(), sizeof value);
    return value;
}

// A stored value as its column's type keeps it; false for bytes that no
// value of that type has.
bool decode(const JetColumn& column, bool jet3, QByteArrayView b, QVariant& value)
{
    const auto sized = [&](qsizetype n) { return b.size() == n; };
    switch (column.type) {
    case js::Text:
    case js::Memo: {
        QString text;
        if (jet3)
            text = fromWindows1252(b);
        else if (!jet4Text(b, text))
            return false;
        value = text;
        return true;
    }
    case js::Bool:
        if (!sized(1))
            return false;
        value = b[0] != 0;
        return true;
    case js::Byte:
        if (!sized(1))
            return false;
        value = qint64(quint8(b[0]));
        return true;
    case js::Int:
        if (!sized(2))
            return false;
        value = qint64(little<qint16>(b));
        return true;
    case js::Long:
        if (!sized(4))
            return false;
        value = qint64(little<qint32>(b));
        return true;
    case js::Money:
        if (!sized(8))
            return false;
        value = little<qint64>(b);
        return true;
    case js::Float:
        if (!sized(4))
            return false;
        value = double(little<float>(b));
        return true;
    case js::Double:
    case js::DateTime:
        if (!sized(8))
            return false;
        value = little<double>(b);
        return true;
    default:
        value = b.toByteArray();
        return true;
    }
}

// Takes the child's stream apart, record by record.
class Stream {
public:
    Stream(QProcess& child, const QString& path, int silenceMs) : m_child(child), m_path(path), m_silenceMs(silenceMs) {}

    // The next record's tag and payload.
    quint8 next(QByteArray& payload)
    {
        need(5);
        const quint8 tag = quint8(m_buffer[m_at]);
        const quint32 length = little<quint32>(QByteArrayView(m_buffer).sliced(m_at + 1, 4));
        if (length > js::kMaxRecord)
            garbage();
        need(5 + qsizetype(length));
        payload = m_buffer.sliced(m_at + 5, length);
        m_at += 5 + qsizetype(length);
        return tag;
    }
    void magic()
    {
        need(sizeof js::kMagic);
        if (std::memcmp(m_buffer.constData() + m_at, js::kMagic, sizeof js::kMagic) != 0)
            garbage();
        m_at += sizeof js::kMagic;
    }
    [[noreturn]] void garbage() const
    {
        throw ImportError(unreadable(m_path, QStringLiteral("o leitor de arquivos Jet mandou dados sem sentido.")));
    }

private:
    void need(qsizetype bytes)
    {
        if (m_at > (1 << 20)) {
            m_buffer.remove(0, m_at);
            m_at = 0;
        }
        while (m_buffer.size() - m_at < bytes) {
            if (m_child.bytesAvailable() == 0 && !m_child.waitForReadyRead(m_silenceMs)) {
                if (m_child.state() == QProcess::Running) {
                    m_child.kill();
                    m_child.waitForFinished(5000);
                    throw ImportError(unreadable(
                        m_path, QStringLiteral("o leitor de arquivos Jet não respondeu por %1 segundos e foi "
                                               "interrompido.")
                                    .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(m_silenceMs / 1000.0))));
                }
                m_buffer += m_child.readAll();
                if (m_buffer.size() - m_at >= bytes)
                    return;
                throw ImportError(unreadable(m_path, QStringLiteral("o leitor de arquivos Jet parou no meio da "
                                                                    "leitura (o arquivo pode estar danificado).")));
            }
            m_buffer += m_child.readAll();
        }
    }

    QProcess& m_child;
    QString m_path;
    int m_silenceMs;
    QByteArray m_buffer;
    qsizetype m_at = 0;
};

// Reads the fields of one record in order.
class Fields {
public:
    Fields(const QByteArray& payload, const Stream& stream) : m_bytes(payload), m_stream(stream) {}
    QByteArrayView take(qsizetype n)
    {
        if (n < 0 || m_bytes.size() - m_at < n)
            m_stream.garbage();
        const QByteArrayView out = QByteArrayView(m_bytes).sliced(m_at, n);
        m_at += n;
        return out;
    }
    quint8 u8() { return quint8(take(1)[0]); }
    quint16 u16() { return little<quint16>(take(2)); }
    quint32 u32() { return little<quint32>(take(4)); }
    QString text16() { return QString::fromUtf8(take(u16())); }
    bool atEnd() const { return m_at == m_bytes.size(); }

private:
    const QByteArray& m_bytes;
    const Stream& m_stream;
    qsizetype m_at = 0;
};

}  // namespace

bool isJetFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(20);
    return head.size() == 20 && head.mid(4, 16) == QByteArrayView("Standard Jet DB\0", 16);
}

int JetColumn::characters(bool jet3) const
{
    return jet3 ? bytes : bytes / 2;
}

int JetTable::indexOf(const QString& column) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void readJet(const QString& path, const std::function<void(const JetFile&, const JetTable&)>& onTable,
             const std::function<void(const JetTable&, const JetRow&)>& onRow, const ReaderOptions& options)
{
    if (!QFileInfo(path).isFile())
        throw ImportError(unreadable(path, QStringLiteral("o arquivo não existe.")));
    QProcess child;
    child.setProgram(options.program.isEmpty() ? readerProgram() : options.program);
    child.setArguments({path});
    // What the library says on its error channel is English and for nobody.
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QIODevice::ReadOnly);
    if (!child.waitForStarted(10000))
        throw ImportError(unreadable(path, QStringLiteral("o leitor de arquivos Jet (%1) não pôde ser iniciado.")
                                               .arg(QDir::toNativeSeparators(child.program()))));
    // A reading given up stops the child at once.
    struct Stop {
        QProcess& child;
        ~Stop()
        {
            if (child.state() != QProcess::NotRunning) {
                child.kill();
                child.waitForFinished(5000);
            }
        }
    } stop{child};
    Stream stream(child, path, options.silenceMs);
    stream.magic();
    JetFile file;
    JetTable table;
    bool inTable = false;
    bool seenFile = false;
    qint64 rows = 0;
    QByteArray payload;
    for (;;) {
        const quint8 tag = stream.next(payload);
        Fields f(payload, stream);
        if (tag == js::Failure) {
            const int reason = f.u8();
            const QString table = f.text16();
            throw ImportError(unreadable(path, failureText(reason, table)));
        }
        if (tag == js::File && !seenFile) {
            file.format = f.u8();
            f.u16();
            seenFile = true;
            if (file.format > 1)
                throw ImportError(unreadable(path, QStringLiteral("ele é de uma versão do Access posterior ao "
                                                                  "formato Jet 4.")));
        } else if (tag == js::Table && seenFile && !inTable) {
            table = JetTable();
            table.system = f.u8() != 0;
            table.definedRows = f.u32();
            const int count = f.u16();
            for (int i = 0; i < count; ++i) {
                JetColumn c;
                c.type = f.u8();
                c.bytes = f.u16();
                c.autonumber = f.u8() & js::kAutonumber;
                c.name = f.text16();
                table.columns.append(c);
            }
            table.name = f.text16();
            inTable = true;
            rows = 0;
            onTable(file, table);
        } else if (tag == js::Row && inTable) {
            JetRow row(table.columns.size());
            for (int i = 0; i < table.columns.size(); ++i) {
                const quint32 length = f.u32();
                if (length == js::kNull)
                    continue;
                if (!decode(table.columns[i], file.jet3(), f.take(length), row[i]))
                    stream.garbage();
            }
            ++rows;
            onRow(table, row);
        } else if (tag == js::TableEnd && inTable) {
            if (f.u32() != rows)
                stream.garbage();
            inTable = false;
        } else if (tag == js::End && seenFile && !inTable) {
            break;
        } else {
            stream.garbage();
        }
        if (!f.atEnd())
            stream.garbage();
    }
    if (!child.waitForFinished(options.silenceMs) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        stream.garbage();
}

QDateTime jetDateTime(double stored)
{
    // Jet's calendar runs from the year 100 to 9999.
    if (!std::isfinite(stored) || stored < -657435.0 || stored >= 2958466.0)
        return QDateTime();
    const double whole = std::trunc(stored);
    const qint64 seconds = std::min<qint64>(std::llround(std::fabs(stored - whole) * 86400.0), 86399);
    const QDate day = QDate(1899, 12, 30).addDays(qint64(whole));
    return QDateTime(day, QTime(0, 0).addSecs(int(seconds)), Qt::UTC);
}

}  // namespace ondrel::import
