#include "helpviewer.h"

#include "platform/services.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace ondrel::chrome {

namespace {

QPointer<HelpViewer>& openViewer()
{
    static QPointer<HelpViewer> viewer;
    return viewer;
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpText"));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(560, 420);
}

bool HelpViewer::load(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.readAll());
    m_fileName = fileName;
    // Relative links and pictures of an HTML help file resolve beside it.
    m_browser->setSearchPaths({QFileInfo(fileName).absolutePath()});
    if (Qt::mightBeRichText(text))
        m_browser->setHtml(text);
    else
        m_browser->setPlainText(text);
    setWindowTitle(QStringLiteral("%1 - Ajuda").arg(platform::applicationTitle()));
    return true;
}

HelpViewer* HelpViewer::showFile(const QString& fileName, QWidget* parent)
{
    if (!QFileInfo(fileName).isFile())
        return nullptr;
    HelpViewer* viewer = openViewer();
    const bool created = !viewer;
    if (created)
        viewer = new HelpViewer(parent);
    if (!viewer->load(fileName)) {
        if (created)
            delete viewer;
        return nullptr;
    }
    openViewer() = viewer;
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

HelpViewer* HelpViewer::current()
{
    return openViewer();
}

}  // namespace ondrel::chrome
