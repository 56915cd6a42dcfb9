// ondrel-jet-reader FILE: reads a Jet (Access) database with Debian's libmdb
// and writes the stored values of its tables on standard output, in the
// stream jetstream.h describes. It runs as a child process of its own, so
// that a damaged file that crashes the library never takes the program down;
// the program checks and converts what it sends.
//
// Only the library's page and row reading is used: the values go out as
// their stored bytes, with each row's null flags, never as the library's
// text renderings (which cut long values and write two-digit years).
#include "jetstream.h"

// mdbtools.h includes glib inside its extern "C": glib first, so that its
// C++ parts are not read as C.
#include <glib.h>
#include <mdbtools.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

using namespace ondrel::jetstream;

int g_out = -1;  // the stream; standard output itself goes to standard error
const char* g_table = "";  // the table being read, for a failure

class Record {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void u16(std::uint16_t v)
    {
        u8(std::uint8_t(v));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(std::uint16_t(v));
        u16(std::uint16_t(v >> 16));
    }
    void bytes(const void* data, std::size_t size)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    void text16(const char* text)
    {
        const std::size_t size = std::min<std::size_t>(std::strlen(text), 0xFFFF);
        u16(std::uint16_t(size));
        bytes(text, size);
    }
    std::size_t size() const { return m_bytes.size(); }
    void clear() { m_bytes.clear(); }
    const unsigned char* data() const { return m_bytes.data(); }

private:
    std::vector<unsigned char> m_bytes;
};

void writeAll(const void* data, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(g_out, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(3);  // the program stopped listening
        p += n;
        size -= std::size_t(n);
    }
}

void send(Tag tag, const Record& record)
{
    Record head;
    head.u8(tag);
    head.u32(std::uint32_t(record.size()));
    writeAll(head.data(), head.size());
    if (record.size() > 0)
        writeAll(record.data(), record.size());
}

[[noreturn]] void fail(FailureReason reason)
{
    Record r;
    r.u8(reason);
    r.text16(g_table);
    send(Failure, r);
    _exit(1);
}

std::uint32_t get32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// A long value (memo, OLE) whole: its 12-byte head in the row, then the
// value inline, on one page or on a chain of pages.
void longValue(MdbHandle* mdb, const unsigned char* head, std::size_t size, std::vector<unsigned char>& out)
{
    out.clear();
    if (size < MDB_MEMO_OVERHEAD)
        fail(BadLongValue);
    const std::uint32_t word = get32(head);
    const std::uint32_t length = word & 0x3FFFFFFFu;
    if (length > kMaxRecord)
        fail(BadLongValue);
    if (word & 0x80000000u) {  // inline
        out.assign(head + MDB_MEMO_OVERHEAD, head + size);
        return;
    }
    std::uint32_t pageRow = get32(head + 4);
    const bool single = word & 0x40000000u;
    if (!single && (word & 0xC0000000u) != 0)
        fail(BadLongValue);
    std::unordered_set<std::uint32_t> seen;
    while (out.size() < length) {
        if (!seen.insert(pageRow).second)
            fail(BadLongValue);  // a chain that goes round
        void* page = nullptr;
        int start = 0;
        size_t rowSize = 0;
        if (mdb_find_pg_row(mdb, int(pageRow), &page, &start, &rowSize) != 0)
            fail(BadLongValue);
        const auto* row = static_cast<const unsigned char*>(page) + start;
        if (single) {
            out.assign(row, row + std::min<std::size_t>(rowSize, length));
            break;
        }
        if (rowSize < 4)
            fail(BadLongValue);
        const std::size_t take = std::min<std::size_t>(rowSize - 4, length - out.size());
        out.insert(out.end(), row + 4, row + 4 + take);
        pageRow = get32(row);
        if (pageRow == 0)
            break;
    }
    if (out.size() != length)
        fail(BadLongValue);
}

// The columns of a table that are sent.
std::vector<int> chosenColumns(MdbTableDef* table, const std::vector<std::string>& only)
{
    std::vector<int> chosen;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        bool wanted = only.empty();
        for (const std::string& name : only)
            wanted = wanted || g_ascii_strcasecmp(col->name, name.c_str()) == 0;
        if (wanted)
            chosen.push_back(int(i));
    }
    return chosen;
}

void sendTable(MdbHandle* mdb, MdbCatalogEntry* entry, bool system, const std::vector<std::string>& only = {})
{
    g_table = entry->object_name;
    MdbTableDef* table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table))
        fail(BadTable);
    const std::vector<int> columns = chosenColumns(table, only);

    Record r;
    r.u8(system ? 1 : 0);
    r.u32(table->num_rows);
    r.u16(std::uint16_t(columns.size()));
    for (int i : columns) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        r.u8(std::uint8_t(col->col_type));
        r.u16(std::uint16_t(col->col_size));
        r.u8(col->is_long_auto ? kAutonumber : 0);
        r.text16(col->name);
    }
    r.text16(entry->object_name);
    send(Table, r);

    std::vector<MdbField> fields(table->num_cols);
    std::vector<unsigned char> value;
    std::uint32_t sent = 0;
    mdb_rewind_table(table);
    while (mdb_read_next_dpg(table)) {
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (int row = 0; row < rows; ++row) {
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb, row, &start, &size) != 0 || size == 0)
                continue;
            // A row whose place holds no row of its own (deleted, or moved to
            // another page and read there) is passed over, as the library's
            // own fetch does.
            if (start & 0x4000)
                continue;
            start &= 0x1FFF;
            if (mdb_crack_row(table, start, size, fields.data()) < 0)
                fail(BadRow);
            r.clear();
            for (int i : columns) {
                const MdbField* field = nullptr;
                for (const MdbField& f : fields)
                    if (f.colnum == i)
                        field = &f;
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
                if (!field)
                    fail(BadRow);
                if (col->col_type == MDB_BOOL) {
                    // A yes/no value lives in the null flags: set is yes.
                    r.u32(1);
                    r.u8(field->is_null ? 0 : 1);
                    continue;
                }
                if (field->is_null) {
                    r.u32(kNull);
                    continue;
                }
                if (field->siz < 0 || std::size_t(field->start) + std::size_t(field->siz) > std::size_t(mdb->fmt->pg_size))
                    fail(BadRow);
                const unsigned char* bytes = mdb->pg_buf + field->start;
                if (col->col_type == MDB_MEMO || col->col_type == MDB_OLE) {
                    longValue(mdb, bytes, std::size_t(field->siz), value);
                    r.u32(std::uint32_t(value.size()));
                    r.bytes(value.data(), value.size());
                } else {
                    r.u32(std::uint32_t(field->siz));
                    r.bytes(bytes, std::size_t(field->siz));
                }
            }
            if (r.size() > kMaxRecord)
                fail(BadRow);
            send(Row, r);
            ++sent;
        }
    }
    r.clear();
    r.u32(sent);
    send(TableEnd, r);
    mdb_free_tabledef(table);
}

}  // namespace

int main(int argc, char** argv)
{
    // The stream gets a descriptor of its own: whatever the library prints
    // goes to standard error and never into the stream.
    g_out = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    std::signal(SIGPIPE, SIG_DFL);
    writeAll(kMagic, sizeof kMagic);
    if (argc != 2)
        fail(WrongUse);
    // Names of tables and columns in UTF-8 whatever the locale; Jet 3 text in
    // the code page Brazilian Windows wrote it in.
    ::setenv("MDB_ICONV", "UTF-8", 1);
    ::setenv("MDB_JET3_CHARSET", "CP1252", 1);

    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb)
        fail(CannotOpen);
    Record file;
    file.u8(std::uint8_t(mdb->f->jet_version));
    file.u16(mdb->f->code_page);
    send(File, file);

    if (!mdb_read_catalog(mdb, MDB_ANY))
        fail(NoCatalog);
    MdbCatalogEntry* objects = nullptr;
    MdbCatalogEntry* queries = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE)
            continue;
        if (mdb_is_user_table(entry))
            sendTable(mdb, entry, false);
        else if (std::strcmp(entry->object_name, "MSysObjects") == 0)
            objects = entry;
        else if (std::strcmp(entry->object_name, "MSysQueries") == 0)
            queries = entry;
    }
    if (objects)
        sendTable(mdb, objects, true, {"Id", "Name", "Type"});
    if (queries)
        sendTable(mdb, queries, true);
    send(End, Record());
    mdb_close(mdb);
    return 0;
}
