// The object's picture: shown from the file named in its path (from a
// server, this computer's copy of the picture kept with the object), read in
// the background and fitted to its frame; chosen with the file-open dialog and
// removed, both commands storing the name at once.
#include "Frmobjetos.h"

#include "binding/datacontrol.h"
#include "database/recordset.h"
#include "forms/guard.h"
#include "platform/picturereader.h"
#include "platform/services.h"
#include "widgets/picturebutton.h"
#include "widgets/twips.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

namespace ondrel::catalogue {

using platform::placeInTwips;
using platform::use;
using platform::services;
using platform::skipFailing;

namespace {

// The four kinds of old, and under "Todos os Formatos" every format a
// picture is shown from (PNG, TIFF, WebP… as well).
QString pictureFilter()
{
    const QString allFormats = QStringLiteral("Todos os Formatos");
    return QStringLiteral("Bitmaps (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|GIF (*.gif)|*.gif|Icones (*.ico)|*.ico|") + allFormats
           + u'|' + platform::picturePatterns();
}

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
    const QString chosen = services().openFileName(this, QString(), pictureFilter());
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

void Frmobjetos::reloadPicture()
{
    const QString file = txtPath->text();
    if (file.isEmpty())
        return;
    // Read at the size the fitting steps give it in the frame as it is now.
    const QRect frame = platform::geometryInTwips(Picture1);
    const double dpi = platform::logicalDpi(this);
    const platform::PictureFit fit = [frame, dpi](QSize natural) {
        const ImageFit f = fitImage(platform::pixelsToTwips(natural.width(), dpi),
                                    platform::pixelsToTwips(natural.height(), dpi), frame.width(), frame.height());
        return platform::twipsToPixels(QRect(0, 0, f.width, f.height), dpi).size();
    };
    const quint64 showing = m_pictureShowing;
    const qreal ratio = devicePixelRatioF();
    // The collection says where the picture is read from: the file itself,
    // or this computer's copy of the picture the server keeps for the object.
    const QString code = Txtcod->text();
    std::function<QString()> source = [file] { return file; };
    if (BancoDados)
        source = BancoDados->pictureSource(code, file);
    platform::requestPicture(code + u'\n' + file, std::move(source), Picture1->size(), ratio, fit, this,
                             [this, showing, ratio](const platform::PictureRead& read) {
        // Another object (or none) shown meanwhile: not this picture.
        if (showing != m_pictureShowing || read.image.isNull())
            return;
        QPixmap picture = QPixmap::fromImage(read.image);
        picture.setDevicePixelRatio(ratio);
        Image1->setPixmap(picture);
        m_pictureSize = read.natural;
        AjustaImagem();
    });
}

void Frmobjetos::AjustaImagem()
{
    Image1->update();
    // Measured at the picture's natural size, whatever size it was read at.
    const QRect frame = platform::geometryInTwips(Picture1);
    const ImageFit fit = fitImage(pixelsToTwips(m_pictureSize.width()), pixelsToTwips(m_pictureSize.height()),
                                  frame.width(), frame.height());
    Image1->setScaledContents(true);
    placeInTwips(Image1, fit.left, fit.top, fit.width, fit.height);
    Image1->update();
}

bool Frmobjetos::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture1 && event->type() == QEvent::Resize)
        platform::guarded([&] { AjustaImagem(); });
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace ondrel::catalogue
