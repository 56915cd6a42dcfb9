#pragma once

// Small helpers shared by the catalogue window's source files.

#include <QLocale>

namespace ondrel::catalogue::detail {

// The user's regional settings: the process's default locale, which is the
// system's unless the host (or a test) set another.
inline QLocale regionalSettings()
{
    return QLocale();
}

}  // namespace ondrel::catalogue::detail
