#pragma once

#include <QByteArrayView>
#include <QString>

namespace ondrel::import {

// Text in Windows-1252, the code page of Brazilian Windows: what a Jet 3 file
// and a spreadsheet's plain "CSV" hold. The five bytes the code page leaves
// unassigned stand for the control characters of the same number.
QString fromWindows1252(QByteArrayView bytes);

}  // namespace ondrel::import
