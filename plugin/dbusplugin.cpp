#include "dbusplugin.h"

#include "bus/busfailures.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QXmlStreamReader>

#include <memory>
#include <stdexcept>
#include <utility>

namespace ondrel::plugin {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kCaption = QStringLiteral("Caption");

// The runtime's own words for a late-bound object without the asked member.
const char* const kNoSuchMember = "O objeto não dá suporte para a propriedade ou método";
const char* const kTypeMismatch = "Tipos incompatíveis";

[[noreturn]] void fail(const QString& description)
{
    throw std::runtime_error(description.toStdString());
}

// The interface declaring a readable property "Caption" in introspection XML;
// an empty optional when there is none.
std::optional<QString> interfaceWithCaption(const QString& xml)
{
    QXmlStreamReader reader(xml);
    QString currentInterface;
    int depth = 0;
    int interfaceDepth = -1;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            const auto name = reader.name();
            const auto attributes = reader.attributes();
            // Only the object's own interfaces: child <node>s are other objects.
            if (name == QLatin1String("interface") && depth == 2) {
                currentInterface = attributes.value(QLatin1String("name")).toString();
                interfaceDepth = depth;
            } else if (name == QLatin1String("property") && interfaceDepth == depth - 1
                       && attributes.value(QLatin1String("name")) == kCaption
                       && attributes.value(QLatin1String("access")).startsWith(QLatin1String("read"))) {
                return currentInterface;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == interfaceDepth)
                interfaceDepth = -1;
            --depth;
        }
    }
    return std::nullopt;
}

}  // namespace

DBusHostWindow::DBusHostWindow(QDBusConnection connection, QString service, QDBusObjectPath path)
    : m_connection(std::move(connection)), m_service(std::move(service)), m_path(std::move(path))
{
}

QString DBusHostWindow::captionInterface() const
{
    QDBusMessage introspect = QDBusMessage::createMethodCall(
        m_service, m_path.path(), QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QDBusMessage reply = m_connection.call(introspect, QDBus::Block, kCaptionTimeoutMs);
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownObject"))
        fail(QString::fromUtf8(kNoSuchMember));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    const std::optional<QString> found = interfaceWithCaption(reply.arguments().first().toString());
    if (!found)
        fail(QString::fromUtf8(kNoSuchMember));
    return *found;
}

QString DBusHostWindow::caption() const
{
    if (m_service.isEmpty() || m_path.path().isEmpty())
        fail(QString::fromUtf8(kNoSuchMember));
    const QString interface = captionInterface();
    QDBusMessage get = QDBusMessage::createMethodCall(m_service, m_path.path(), kPropertiesInterface,
                                                      QStringLiteral("Get"));
    get << interface << kCaption;
    const QDBusMessage reply = m_connection.call(get, QDBus::Block, kCaptionTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        const QString name = reply.errorName();
        if (name == QLatin1String("org.freedesktop.DBus.Error.UnknownProperty")
            || name == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs")
            || name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface")
            || name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject"))
            fail(QString::fromUtf8(kNoSuchMember));
        fail(bus::callFailure(QDBusError(reply), QStringLiteral("a janela do hospedeiro")));
    }
    if (reply.arguments().isEmpty())
        fail(QString::fromUtf8(kTypeMismatch));
    QVariant value = reply.arguments().first();
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.metaType().id() == QMetaType::QString)
        return value.toString();
    if (!value.canConvert<QString>() || value.metaType().id() == QMetaType::UnknownType)
        fail(QString::fromUtf8(kTypeMismatch));
    return value.toString();
}

PluginAdaptor::PluginAdaptor(QObject* parent) : QObject(parent) {}

QString PluginAdaptor::Run(const QDBusObjectPath& FormX)
{
    platform::HostWindowRef host;
    if (calledFromDBus())
        host = std::make_shared<DBusHostWindow>(connection(), message().service(), FormX);
    else
        host = std::make_shared<DBusHostWindow>(QDBusConnection::sessionBus(), QString(), FormX);
    const QString result = m_plugin.Run(host);
    emit ran();
    return result;
}

QString PluginAdaptor::Identify()
{
    return m_plugin.Identify();
}

QString exportPlugin(QDBusConnection connection, PluginAdaptor* adaptor)
{
    if (!connection.isConnected())
        return bus::noSessionBus();
    // Without the meta type, Run(o) is left out of the exported interface.
    qDBusRegisterMetaType<QDBusObjectPath>();
    if (!connection.registerObject(QString::fromLatin1(kObjectPath), adaptor, QDBusConnection::ExportAllSlots))
        return QStringLiteral("O objeto %1 já está publicado nesta conexão.").arg(QString::fromLatin1(kObjectPath));
    const QString name = QString::fromLatin1(kServiceName);
    if (!connection.registerService(name)) {
        connection.unregisterObject(QString::fromLatin1(kObjectPath));
        if (connection.interface() && connection.interface()->isServiceRegistered(name).value())
            return QStringLiteral("O Ulmix já está aberto: o nome %1 já está em uso no barramento de sessão.").arg(name);
        return QStringLiteral("Não foi possível tomar o nome %1 no barramento de sessão.").arg(name);
    }
    return QString();
}

}  // namespace ondrel::plugin
