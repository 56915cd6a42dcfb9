// The object's picture: shown from the file named in its path, chosen with
// the file-open dialog and removed; both commands store the name at once.
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "platform/services.h"
#include "widgets/picturebutton.h"

#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

namespace ondrel::catalogue {

using platform::use;
using platform::services;
using platform::skipFailing;

namespace {

const QString kPictureFilter = QStringLiteral(
    "Bitmaps (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|GIF (*.gif)|*.gif|Icones (*.ico)|*.ico|Todos os Formatos|*.bmp;*.jpg;*.gif;*.ico");

}  // namespace

void Frmobjetos::txtPath_Change()
{
    // The frame empties at once; the picture, measured at its own natural
    // size and fitted, comes when it has been read. A file that is gone,
    // unreadable or never arrives leaves the frame empty.
    ++m_pictureShowing;
    Image1->clear();
    Image1->setScaledContents(false);
    m_pictureSize = QSize(0, 0);
    AjustaImagem();
    reloadPicture();
    ctbApagImagem->setEnabled(!txtPath->text().isEmpty());
}

void Frmobjetos::storeNow(const std::function<void()>& change)
{
    db::Recordset& rs = use(Data1->recordset());
    // The edit is stored or abandoned here, never left behind: a name that
    // could not be stored must not be written later by an automatic save,
    // nor stay on screen as if it were stored.
    const auto abandon = qScopeGuard([&] {
        if (rs.editMode() != db::EditMode::None)
            skipFailing({[&] { rs.cancelUpdate(); }});
    });
    rs.edit();
    change();
    rs.update();
}

void Frmobjetos::ctbImagem_Click()
{
    lblpanel->setText(QString());
    // The dialog's default title; it starts without a preselected file.
    const QString chosen = services().openFileName(this, QString(), kPictureFilter);
    if (chosen.isEmpty())
        return;
    storeNow([&] { txtPath->setText(chosen); });
}

void Frmobjetos::ctbApagImagem_Click()
{
    // Only the name is forgotten; the file itself is never touched.
    skipFailing({
        [&] { lblpanel->setText(QString()); },
        [&] { storeNow([&] { txtPath->setText(QString()); }); },
    });
}

}  // namespace ondrel::catalogue
