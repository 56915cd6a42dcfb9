#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ondrel::assets {

// A picture of the program by its name ("novo", "salvar", "lampada_verde",
// "logo", ...): the desktop theme's icon where one fits, otherwise our own.
QIcon icon(const QString& name);
// Our own picture as a pixmap (32 x 32), null for an unknown name.
QPixmap pixmap(const QString& name);
// The pointing-hand pointer shown over the home link.
QCursor handCursor();
// Names of all pictures we carry.
QStringList pictureNames();

}  // namespace ondrel::assets
