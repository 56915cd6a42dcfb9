#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusError>
#include <QMainWindow>
#include <QString>

class QAction;

namespace ondrel::host {

// The host's main window, published on the bus so the plug-in can read its
// caption: a menu "Plug-ins" whose entry carries the plug-in's name (what
// Identify answers) and starts it with Run.
class HostMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Where the window is published on its connection.
    static constexpr const char* kObjectPath = "/HostWindow";

    // pluginService: the name the plug-in answers to on the bus.
    explicit HostMainWindow(QDBusConnection connection, QWidget* parent = nullptr,
                            QString pluginService = QStringLiteral("Ondrel.clsPluginInterface"));
    ~HostMainWindow() override;

    // Publishes the window; returns "" or why it failed.
    QString publish();
    // Asks the plug-in its name; the menu entry is labelled with the answer.
    void identifyPlugin();
    // Runs the plug-in with this window; a non-empty answer is shown.
    void runPlugin();

    QAction* pluginAction() const { return m_pluginAction; }
    // The last error text shown (for tests and diagnostics).
    const QString& lastError() const { return m_lastError; }
    // Whether errors open a message box (tests turn it off).
    void setShowsErrorBoxes(bool shows) { m_showsBoxes = shows; }

signals:
    void identified(const QString& name);
    void runFinished(const QString& result);

private:
    void showError(const QString& text);
    // Why a call to the plug-in failed, and what to do about it.
    QString pluginFailure(const QDBusError& error) const;

    QDBusConnection m_connection;
    QString m_service;
    QAction* m_pluginAction = nullptr;
    QString m_lastError;
    bool m_published = false;
    bool m_showsBoxes = true;
};

// The window's Caption as a D-Bus property of interface Ondrel.HostWindow.
class HostWindowAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Ondrel.HostWindow")
    Q_PROPERTY(QString Caption READ caption)
public:
    explicit HostWindowAdaptor(QMainWindow* window);
    QString caption() const;

private:
    QMainWindow* m_window;
};

}  // namespace ondrel::host
