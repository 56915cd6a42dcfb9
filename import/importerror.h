#pragma once

#include <QString>

#include <stdexcept>

namespace ondrel::import {

// Why a conversion or an import did not happen, in Portuguese for a person;
// nothing was changed.
class ImportError : public std::runtime_error {
public:
    explicit ImportError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const noexcept { return m_text; }

private:
    QString m_text;
};

}  // namespace ondrel::import
