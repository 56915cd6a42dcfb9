#pragma once

#include "clsPluginInterface.h"
#include "platform/hostwindow.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

namespace ondrel::plugin {

// Where the plug-in is found on the session bus.
inline constexpr const char* kServiceName = "Ondrel.clsPluginInterface";
inline constexpr const char* kInterfaceName = "Ondrel._clsPluginInterface";
inline constexpr const char* kObjectPath = "/clsPluginInterface";

// How long reading the host's caption may take. A host that blocks on its own
// Run call cannot answer; Run then returns the time-out instead of hanging.
inline constexpr int kCaptionTimeoutMs = 5000;

// The host's window as an object on the bus: its Caption is read by name,
// through org.freedesktop.DBus.Properties, from the connection that called Run.
class DBusHostWindow final : public platform::HostWindow {
public:
    DBusHostWindow(QDBusConnection connection, QString service, QDBusObjectPath path);
    QString caption() const override;

    const QString& service() const { return m_service; }
    const QDBusObjectPath& path() const { return m_path; }

private:
    // The interface of the object that declares a readable Caption, found by
    // introspection; "" when introspection fails (the owner then decides).
    QString captionInterface() const;

    QDBusConnection m_connection;
    QString m_service;
    QDBusObjectPath m_path;
};

// clsPluginInterface on the bus: interface Ondrel._clsPluginInterface with
// Run(o) -> s and Identify() -> s, in that order.
class PluginAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Ondrel._clsPluginInterface")
public:
    explicit PluginAdaptor(QObject* parent = nullptr);

public slots:
    QString Run(const QDBusObjectPath& FormX);
    QString Identify();

signals:
    // Emitted after every Run (the process's idle time-out ends with it).
    void ran();

private:
    clsPluginInterface m_plugin;
};

// Exports the adaptor at kObjectPath and takes the name kServiceName on the
// connection. Returns "" on success, otherwise why it failed (Portuguese).
QString exportPlugin(QDBusConnection connection, PluginAdaptor* adaptor);

}  // namespace ondrel::plugin
