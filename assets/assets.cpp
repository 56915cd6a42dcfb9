#include "assets.h"

#include <QDir>
#include <QHash>

// The resource file of a static library must be registered by hand.
static void initResources() { Q_INIT_RESOURCE(assets); }

namespace ondrel::assets {

namespace {

void ensureResources()
{
    static const bool done = [] {
        initResources();
        return true;
    }();
    (void)done;
}

// Theme icons that mean the same as our pictures.
const QHash<QString, QString>& themeNames()
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("novo"), QStringLiteral("document-new")},
        {QStringLiteral("salvar"), QStringLiteral("document-save")},
        {QStringLiteral("editar"), QStringLiteral("document-edit")},
        {QStringLiteral("excluir"), QStringLiteral("edit-delete")},
        {QStringLiteral("cancelar"), QStringLiteral("process-stop")},
        {QStringLiteral("home"), QStringLiteral("go-home")},
        {QStringLiteral("ajuda"), QStringLiteral("help-contents")},
        {QStringLiteral("imprimir"), QStringLiteral("document-print")},
        {QStringLiteral("pesquisa"), QStringLiteral("edit-find")},
        {QStringLiteral("fechar"), QStringLiteral("window-close")},
        {QStringLiteral("anterior"), QStringLiteral("go-previous")},
        {QStringLiteral("proximo"), QStringLiteral("go-next")},
        {QStringLiteral("imagem"), QStringLiteral("insert-image")},
    };
    return names;
}

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/ondrel/pictures/%1.png").arg(name);
}

}  // namespace

QPixmap pixmap(const QString& name)
{
    ensureResources();
    return QPixmap(resourcePath(name));
}

QIcon icon(const QString& name)
{
    ensureResources();
    const QIcon own(resourcePath(name));
    const QString theme = themeNames().value(name);
    return theme.isEmpty() ? own : QIcon::fromTheme(theme, own);
}

QCursor handCursor()
{
    const QPixmap hand = pixmap(QStringLiteral("mao"));
    // The finger tip is the hot spot.
    return hand.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(hand, 11, 1);
}

QStringList pictureNames()
{
    ensureResources();
    QStringList names;
    for (const QString& file : QDir(QStringLiteral(":/ondrel/pictures")).entryList(QDir::Files))
        names << file.chopped(4);
    return names;
}

}  // namespace ondrel::assets
