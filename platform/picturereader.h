#pragma once

// Pictures of the user's files, read off the user-interface thread.
//
//   platform::requestPicture(path, frame->size(), devicePixelRatioF(),
//                            [](QSize natural) { return sizeToShow(natural); }, this,
//                            [this](const platform::PictureRead& read) { show(read); });
//
// A read never blocks the window: a file on a stalled network share or a
// named pipe that nobody writes keeps only its own reader waiting, and its
// picture is handed over if and when it arrives. The natural size is read
// first and the picture decoded at the size it is shown at, so a 48 MP photo
// is never decoded whole when its format allows that (JPEG, a PNG of 8-bit
// colour); the others (BMP, GIF, TIFF, WebP, a palette, grey, 16-bit or
// interlaced PNG) are decoded whole, past the process's image allocation
// limit up to kMaxPictureBytes, and shrunk a band of rows at a time. The
// orientation a phone records in the file (EXIF) is applied before anything
// is measured.

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

class QObject;

namespace ondrel::platform {

// A picture as read for its frame; a file that is missing, unreadable or no
// picture gives a null image and an empty natural size.
struct PictureRead {
    QImage image;   // decoded at the size asked for (device pixels)
    QSize natural;  // the picture's own size, turned as the file says
};

// The size, in pixels, a picture of a natural size is shown at.
using PictureFit = std::function<QSize(QSize natural)>;

// The largest whole decode allowed for a format that cannot be decoded at a
// smaller size.
inline constexpr qint64 kMaxPictureBytes = qint64(1) << 30;

// Reads a picture file here and now (the reading threads call this): decoded
// at fit(natural) times ratio, never larger than the picture itself.
PictureRead readPictureFile(const QString& path, const PictureFit& fit, qreal ratio = 1.0);

// Asks for the picture of a file fitted into a frame of frameSize pixels; on
// context's thread, `shown` gets it once it is read, unless context is gone.
// What was read is kept keyed on the file's path, modification time and size
// and the frame size, so showing it again in the same frame reads nothing.
// One file is read by one reader at a time: a newer request for a file
// being read waits for that read and supersedes older waiting ones.
void requestPicture(const QString& path, QSize frameSize, qreal ratio, PictureFit fit, QObject* context,
                    std::function<void(const PictureRead&)> shown);
// The same for a picture whose file `locate` finds on the reading thread
// (it may take a while: a copy fetched from elsewhere); `key` stands for the
// file among the requests.
void requestPicture(const QString& key, std::function<QString()> locate, QSize frameSize, qreal ratio,
                    PictureFit fit, QObject* context, std::function<void(const PictureRead&)> shown);

// Reads asked for and not yet handed over.
int picturesPending();

// The file patterns of every format a picture can be read from, for a file
// dialog: "*.bmp;*.gif;*.jpeg;*.jpg;*.png;…".
QString picturePatterns();

}  // namespace ondrel::platform
