#pragma once

// Small helpers shared by the catalogue window's source files.

#include <QLocale>
#include <memory>
#include <stdexcept>

namespace ondrel::catalogue::detail {

// An unset handle fails the statement that uses it, as an unset object
// variable does, instead of crashing.
template <typename T>
T& use(const std::shared_ptr<T>& handle)
{
    if (!handle)
        throw std::runtime_error("Variável de objeto ou variável do bloco With não definida");
    return *handle;
}

template <typename T>
T& use(T* pointer)
{
    if (!pointer)
        throw std::runtime_error("Variável de objeto ou variável do bloco With não definida");
    return *pointer;
}

// The user's regional settings: the process's default locale, which is the
// system's unless the host (or a test) set another.
inline QLocale regionalSettings()
{
    return QLocale();
}

}  // namespace ondrel::catalogue::detail
