#pragma once

// The stream the Jet reader child (ondrel-jet-reader FILE) writes on its
// standard output: the stored values of a Jet file, never the library's text
// renderings of them. Plain C++, no Qt: the child links libmdb alone.
//
// The stream starts with the eight bytes kMagic; then come records, each
//
//     u8 tag, u32 length, `length` bytes of payload
//
// every integer little-endian. The tags, in the order they come:
//
//   File      u8 format (0 Jet 3, 1 Jet 4, 2 and up: Access 2007 and later),
//             u16 code page of the file's header (0 when it keeps none)
//   Table     u8 kind (0 a table of the person's, 1 a system table),
//             u32 the rows the table's own definition counts,
//             u16 columns, then for each column
//                 u8 type (Jet's column type, see JetType), u16 size in bytes
//                 as the definition gives it (0 for long values),
//                 u8 flags (kAutonumber), u16 name length, the name (UTF-8);
//             then u16 name length and the table's name (UTF-8)
//   Row       one value per column of the last Table, in its order: u32 byte
//             count (kNull for NULL), then the bytes as stored: integers,
//             currency (an integer of ten-thousandths), single, double and
//             date (a double of days since 30/12/1899) little-endian as Jet
//             keeps them; text as stored (Jet 4: UTF-16LE, or its compressed
//             form starting FF FE; Jet 3: the file's code page); a long value
//             (memo, OLE) whole, its pages followed; a yes/no value as one
//             byte 0 or 1, never NULL
//   TableEnd  u32 the rows sent for the table
//   Failure   u8 reason (FailureReason), then u16 name length and the name
//             of the table it met it in (empty before any); nothing follows it
//   End       empty: the whole file was read
//
// Every table of the person's comes first, then MSysObjects (its columns Id,
// Name and Type only) and MSysQueries, where Jet keeps the stored queries.
#include <cstdint>

namespace ondrel::jetstream {

inline constexpr char kMagic[8] = {'O', 'N', 'D', 'J', 'E', 'T', '1', '\n'};
inline constexpr std::uint32_t kNull = 0xFFFFFFFFu;
// No record is longer: a longer one is garbage.
inline constexpr std::uint32_t kMaxRecord = 64u * 1024u * 1024u;
// Column flags.
inline constexpr std::uint8_t kAutonumber = 1;

enum Tag : std::uint8_t {
    File = 'F',
    Table = 'T',
    Row = 'R',
    TableEnd = 'E',
    Failure = 'X',
    End = 'Z',
};

enum FailureReason : std::uint8_t {
    CannotOpen = 1,      // the library does not open the file as a Jet database
    NoCatalog = 2,       // its list of tables cannot be read
    BadTable = 3,        // a table's definition cannot be read
    BadRow = 4,          // a row cannot be taken apart
    BadLongValue = 5,    // a memo or OLE value's pages cannot be followed
    WrongUse = 6,        // the child was not given one file
};

// Jet's column types, as the definitions keep them.
enum JetType : std::uint8_t {
    Bool = 0x01,
    Byte = 0x02,
    Int = 0x03,
    Long = 0x04,
    Money = 0x05,
    Float = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    RepId = 0x0f,
    Numeric = 0x10,
};

}  // namespace ondrel::jetstream
