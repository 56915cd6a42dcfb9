#include "chrome.h"

#include "assets/assets.h"
#include "collection/places.h"
#include "helpviewer.h"
#include "platform/services.h"
#include "widgets/toolbarbutton.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QShortcut>
#include <QUrl>
#include <QVariant>

namespace ondrel::chrome {

namespace {

// The application's registered help file lives on the application object, so
// every window (and the plug-in entry) sees the same one.
constexpr const char* kHelpFileProperty = "HelpFile";

}  // namespace

QString homePage()
{
    const QString maker = QStringLiteral(ONDREL_HOME_URL);
    if (!maker.isEmpty())
        return maker;
    return QUrl::fromLocalFile(db::readOnlyFilesFolder() + u'/' + QString::fromLatin1(kHomePageFileName)).toString();
}

QString makerName()
{
    return QStringLiteral("Ondrel");
}

platform::ToolbarButton* makeHomeLink()
{
    auto* link = new platform::ToolbarButton(makerName());
    link->setObjectName(QStringLiteral("cmdHome"));
    link->setToolButtonStyle(Qt::ToolButtonTextOnly);
    link->setHoverText(homePage());
    link->setAccessibleName(QStringLiteral("Abrir a página da %1 na internet").arg(makerName()));
    link->setAccessibleDescription(homePage());
    return link;
}

void showHoverText(platform::ToolbarButton* button, QLabel* panel, const QString& text)
{
    button->setHoverText(text);
    // The panel may go before the button when a window is torn down.
    const QPointer<QLabel> target(panel);
    QObject::connect(button, &platform::ToolbarButton::mouseEnter, panel, [target, text] {
        if (target)
            target->setText(text);
    });
    QObject::connect(button, &platform::ToolbarButton::mouseExit, panel, [target] {
        if (target)
            target->setText(QString());
    });
}

void homeMouseEnter(QWidget* window, QLabel* panel)
{
    panel->setText(homePage());
    // Only this window's pointer: the hand must not follow the user into
    // other windows (or stay there when the browser takes the focus).
    window->setCursor(assets::handCursor());
}

void homeMouseExit(QWidget* window, QLabel* panel)
{
    panel->setText(QString());
    defaultPointer(window);
}

void defaultPointer(QWidget* window)
{
    window->unsetCursor();
}

void openHomePage()
{
    platform::services().shellOpen(homePage());
}

void registerHelpFile()
{
    QCoreApplication::instance()->setProperty(
        kHelpFileProperty, db::readOnlyFilesFolder() + u'/' + QString::fromLatin1(kHelpFileName));
}

QString helpFile()
{
    const QString registered = QCoreApplication::instance()->property(kHelpFileProperty).toString();
    if (!registered.isEmpty())
        return registered;
    return db::readOnlyFilesFolder() + u'/' + QString::fromLatin1(kHelpFileName);
}

QString helpPage(const QString& page)
{
    const QString entry = helpFile();
    if (page.isEmpty())
        return entry;
    const QString beside = QFileInfo(entry).absoluteDir().filePath(page);
    return QFileInfo(beside).isFile() ? beside : entry;
}

void sendHelpKey()
{
    platform::services().sendKeys(QStringLiteral("{f1}"));
}

void installHelpKey(QWidget* window, const QString& page)
{
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setObjectName(QStringLiteral("helpKey"));
    key->setContext(Qt::WindowShortcut);
    // A help file that cannot be read opens nothing and says nothing.
    QObject::connect(key, &QShortcut::activated, window,
                     [window, page] { HelpViewer::showFile(helpPage(page), window); });
}

}  // namespace ondrel::chrome
