// The chrome both record windows share: hover texts, the home link, the help
// file opened by F1, and the quick-find criteria.
#include "chrome/chrome.h"
#include "chrome/helpviewer.h"
#include "chrome/quickfind.h"
#include "collection/places.h"
#include "platform/testservices.h"
#include "widget_testutil.h"
#include "widgets/picturebutton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

using namespace ondrel;
using platform::Pointer;
using platform::RecordingServices;
using testutil::enter;
using testutil::leave;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A window with a box that has the focus, as a record window has.
struct Window {
    Window()
    {
        widget = std::make_unique<QWidget>();
        box = new QLineEdit(widget.get());
        new QVBoxLayout(widget.get());
        widget->layout()->addWidget(box);
    }
    bool showActive()
    {
        widget->show();
        widget->activateWindow();
        if (!QTest::qWaitForWindowActive(widget.get()))
            return false;
        box->setFocus();
        return true;
    }
    std::unique_ptr<QWidget> widget;
    QLineEdit* box = nullptr;
};

void closeViewer()
{
    if (chrome::HelpViewer* viewer = chrome::HelpViewer::current()) {
        viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}  // namespace

class ChromeTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_services = std::make_unique<RecordingServices>();
        m_installed = std::make_unique<RecordingServices::Installed>(*m_services);
        m_folder = std::make_unique<QTemporaryDir>();
        db::setPluginFolder(m_folder->path());
        qApp->setProperty("HelpFile", QVariant());
    }
    void cleanup()
    {
        closeViewer();
        m_installed.reset();
        m_services.reset();
        db::setPluginFolder(QString());
    }

    void hoverTextFollowsTheMouse();
    void hoverOutlivesItsPanel();
    void homeLinkPointerAndAddress();
    void helpFileRegisteredOrBesideThePlugin();
    void helpKeyOpensTheFile_data();
    void helpKeyOpensTheFile();
    void sentF1OpensHelpAfterTheHandler();
    void unreadableHelpOpensNothing();
    void criteria_data();
    void criteria();

private:
    std::unique_ptr<RecordingServices> m_services;
    std::unique_ptr<RecordingServices::Installed> m_installed;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void ChromeTest::hoverTextFollowsTheMouse()
{
    QWidget window;
    auto* panel = new QLabel(&window);
    auto* search = new platform::PictureButton(QIcon(), QString(), &window);
    auto* help = new platform::PictureButton(QIcon(), QString(), &window);
    chrome::showHoverText(search, panel, QStringLiteral("Pesquisar..."));
    chrome::showHoverText(help, panel, QStringLiteral("Ajuda"));
    QCOMPARE(search->toolTip(), QStringLiteral("Pesquisar..."));

    // From one button straight onto the other: text, cleared, the other text.
    QStringList seen;
    // The label has no change signal: watch it through the buttons' signals.
    for (auto* b : {search, help}) {
        connect(b, &platform::ToolbarButton::mouseEnter, &window, [&] { seen << panel->text(); });
        connect(b, &platform::ToolbarButton::mouseExit, &window, [&] { seen << panel->text(); });
    }
    enter(search);
    leave(search);
    enter(help);
    QCOMPARE(seen, (QStringList{"Pesquisar...", "", "Ajuda"}));
    QCOMPARE(panel->text(), QStringLiteral("Ajuda"));
    leave(help);
    QCOMPARE(panel->text(), QString());
}

void ChromeTest::hoverOutlivesItsPanel()
{
    QWidget window;
    auto* panel = new QLabel(&window);
    auto* button = new platform::PictureButton(QIcon(), QString(), &window);
    chrome::showHoverText(button, panel, QStringLiteral("Ajuda"));
    delete panel;
    // The button still reports the mouse and keeps its text; its handlers
    // must not reach the deleted label.
    QSignalSpy entered(button, &platform::ToolbarButton::mouseEnter);
    QSignalSpy left(button, &platform::ToolbarButton::mouseExit);
    enter(button);
    leave(button);
    QCOMPARE(entered.count(), 1);
    QCOMPARE(left.count(), 1);
    QCOMPARE(button->toolTip(), QStringLiteral("Ajuda"));
}

void ChromeTest::homeLinkPointerAndAddress()
{
    QWidget window;
    QLabel panel;
    chrome::homeMouseEnter(&window, &panel);
    QCOMPARE(panel.text(), chrome::homePage());
    // The maker's address or the file address of our page: never relative.
    QVERIFY(!QUrl(chrome::homePage()).scheme().isEmpty());
    // The window's own pointer is the pointing-hand picture; the
    // application's pointer is left alone.
    QCOMPARE(m_services->pointer(), Pointer::Default);
    QVERIFY(window.testAttribute(Qt::WA_SetCursor));
    QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);

    chrome::openHomePage();
    QCOMPARE(m_services->opened, QStringList{chrome::homePage()});
    QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);

    chrome::homeMouseExit(&window, &panel);
    QCOMPARE(panel.text(), QString());
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(m_services->messageBoxes.isEmpty());
}

void ChromeTest::helpFileRegisteredOrBesideThePlugin()
{
    const QString beside = m_folder->path() + QStringLiteral("/Ulmix.hlp");
    QCOMPARE(chrome::helpFile(), beside);
    chrome::registerHelpFile();
    QCOMPARE(qApp->property("HelpFile").toString(), beside);
    // A registered file wins over the folder the plug-in is in now.
    db::setPluginFolder(QStringLiteral("/elsewhere"));
    QCOMPARE(chrome::helpFile(), beside);
}

void ChromeTest::helpKeyOpensTheFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain text, accents") << QByteArray("Empréstimos\n<não é HTML>") << "Empréstimos\n<não é HTML>";
    QTest::newRow("html") << QByteArray("<html><body><h1>Ajuda</h1><p>Objetos</p></body></html>")
                          << "Ajuda\nObjetos";
}

void ChromeTest::helpKeyOpensTheFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, shown);
    writeFile(chrome::helpFile(), content);
    Window window;
    chrome::installHelpKey(window.widget.get());
    QVERIFY(window.showActive());

    QTest::keyClick(window.box, Qt::Key_F1);
    chrome::HelpViewer* viewer = chrome::HelpViewer::current();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->fileName(), chrome::helpFile());
    QCOMPARE(viewer->browser()->toPlainText(), shown);

    // Again: the same viewer shows the file afresh.
    writeFile(chrome::helpFile(), "segunda");
    QTest::keyClick(window.widget.get(), Qt::Key_F1);
    QCOMPARE(chrome::HelpViewer::current(), viewer);
    QCOMPARE(viewer->browser()->toPlainText(), QStringLiteral("segunda"));
}

void ChromeTest::sentF1OpensHelpAfterTheHandler()
{
    writeFile(chrome::helpFile(), "ajuda");
    Window window;
    chrome::installHelpKey(window.widget.get());
    QVERIFY(window.showActive());

    chrome::sendHelpKey();
    QCOMPARE(m_services->keysSent, QStringList{"{f1}"});
    // The desktop queues the key for the focus widget: the help opens only
    // once the event loop delivers it.
    const int key = platform::keyFromSendKeys(m_services->keysSent.first());
    QCoreApplication::postEvent(window.box, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(window.box, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
    QVERIFY(!chrome::HelpViewer::current());
    QTRY_VERIFY(chrome::HelpViewer::current());
    QCOMPARE(chrome::HelpViewer::current()->browser()->toPlainText(), QStringLiteral("ajuda"));
}

void ChromeTest::unreadableHelpOpensNothing()
{
    Window window;
    chrome::installHelpKey(window.widget.get());
    QVERIFY(window.showActive());
    QTest::keyClick(window.box, Qt::Key_F1);  // no file
    QVERIFY(!chrome::HelpViewer::current());
    QVERIFY(QDir().mkpath(chrome::helpFile()));  // a folder by that name
    QTest::keyClick(window.box, Qt::Key_F1);
    QVERIFY(!chrome::HelpViewer::current());
    QVERIFY(m_services->messageBoxes.isEmpty());
}

void ChromeTest::criteria_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("criteria");
    QTest::newRow("plain") << "Dom Casmurro" << "Título like'Dom Casmurro'";
    QTest::newRow("wildcard kept") << "Dom*" << "Título like'Dom*'";
    QTest::newRow("empty") << "" << "Título like''";
    QTest::newRow("apostrophe matched as typed") << "Gota d'Água" << "Título like'Gota d''Água'";
    QTest::newRow("apostrophe cannot end the text") << "x' or 'a'='a" << "Título like'x'' or ''a''=''a'";
}

void ChromeTest::criteria()
{
    QFETCH(QString, typed);
    QFETCH(QString, criteria);
    QCOMPARE(chrome::titleCriteria(typed), criteria);
}

QTEST_MAIN(ChromeTest)
#include "chrome_test.moc"
