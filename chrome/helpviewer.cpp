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
    if (Qt::mightBeRichText(text)) {
        // Shown as the browser's source, so relative links, the style sheet
        // and pictures resolve beside the page and Alt+Left goes back.
        const QUrl page = QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath());
        if (m_browser->source() == page)
            m_browser->reload();
        else
            m_browser->setSource(page, QTextDocument::HtmlResource);
    } else {
        m_browser->setPlainText(text);
    }
    setWindowTitle(QStringLiteral("%1 - Ajuda").arg(platform::applicationTitle()));
    return true;
}

void HelpViewer::belongTo(QWidget* parent)
{
    if (parentWidget() == parent)
        return;
    // A window of its own still, now owned by the window that asked: a modal
    // dialog does not block the windows it owns. Reparenting hides it; it
    // keeps its place on the screen.
    const QRect place = geometry();
    const bool wasVisible = isVisible();
    setParent(parent, windowFlags());
    if (wasVisible)
        setGeometry(place);
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
    viewer->belongTo(parent);
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
