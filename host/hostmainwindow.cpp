#include "hostmainwindow.h"

#include "bus/busfailures.h"

#include <QAction>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>

namespace ondrel::host {

namespace {
const QString kPath = QStringLiteral("/clsPluginInterface");
const QString kInterface = QStringLiteral("Ondrel._clsPluginInterface");
}  // namespace

HostWindowAdaptor::HostWindowAdaptor(QMainWindow* window) : QDBusAbstractAdaptor(window), m_window(window) {}

QString HostWindowAdaptor::caption() const
{
    return m_window->windowTitle();
}

HostMainWindow::HostMainWindow(QDBusConnection connection, QWidget* parent, QString pluginService)
    : QMainWindow(parent), m_connection(std::move(connection)), m_service(std::move(pluginService))
{
    setWindowTitle(QStringLiteral("Ondrel - Aplicativo hospedeiro"));
    resize(640, 420);
    auto* text = new QLabel(QStringLiteral("Escolha o plug-in no menu Plug-ins."), this);
    text->setAlignment(Qt::AlignCenter);
    setCentralWidget(text);

    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Plug-ins"));
    m_pluginAction = menu->addAction(QStringLiteral("(procurando o plug-in…)"));
    m_pluginAction->setEnabled(false);
    connect(m_pluginAction, &QAction::triggered, this, &HostMainWindow::runPlugin);
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Sai&r"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    new HostWindowAdaptor(this);
}

HostMainWindow::~HostMainWindow()
{
    if (m_published)
        m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
}

QString HostMainWindow::publish()
{
    if (!m_connection.isConnected())
        return bus::noSessionBus();
    if (!m_connection.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return QStringLiteral("Não foi possível publicar a janela em %1.").arg(QString::fromLatin1(kObjectPath));
    m_published = true;
    return QString();
}

void HostMainWindow::identifyPlugin()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(m_service, kPath, kInterface, QStringLiteral("Identify"));
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QString> reply = *w;
        if (reply.isError()) {
            m_pluginAction->setText(QStringLiteral("(plug-in indisponível)"));
            m_pluginAction->setEnabled(false);
            showError(pluginFailure(reply.error()));
            return;
        }
        m_pluginAction->setText(reply.value());
        m_pluginAction->setEnabled(true);
        emit identified(reply.value());
    });
}

void HostMainWindow::runPlugin()
{
    // Asynchronously: the plug-in reads our Caption while it handles Run, so
    // this event loop must keep answering.
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, kPath, kInterface, QStringLiteral("Run"));
    call << QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kObjectPath)));
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, 120000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QString> reply = *w;
        const QString result = reply.isError() ? pluginFailure(reply.error()) : reply.value();
        if (!result.isEmpty())
            showError(result);
        emit runFinished(result);
    });
}

QString HostMainWindow::pluginFailure(const QDBusError& error) const
{
    QString text = bus::callFailure(error, QStringLiteral("o plug-in Ulmix"));
    if (error.type() == QDBusError::ServiceUnknown)
        text += QStringLiteral(" O barramento o inicia pelo arquivo de ativação %1.service, que o ./run.sh instala em "
                               "~/.local/share/dbus-1/services/; sem ele, inicie o plug-in à mão (ondrel) e escolha-o "
                               "de novo no menu Plug-ins.")
                    .arg(m_service);
    return text;
}

void HostMainWindow::showError(const QString& text)
{
    m_lastError = text;
    if (!m_showsBoxes)
        return;
    QMessageBox::warning(this, windowTitle(), text);
}

}  // namespace ondrel::host
