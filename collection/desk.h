#pragma once

// The desk this user works at on this computer, for a collection on a
// server: "pesquisa" and "Imprime" are kept per desk there.
#include <QString>

namespace ondrel::db {

// This desk's key: a number made once for this user and kept in her
// settings file (key "mesa"), and this computer's machine id, so that two
// users of one computer are two desks, and so is one user on two computers
// even when her home folder is shared between them. When the settings file
// cannot keep it, the user's id on this computer stands for it.
QString thisDesk();

// Makes every collection on a server this process opens use thisDesk().
void useThisDesk();

}  // namespace ondrel::db
