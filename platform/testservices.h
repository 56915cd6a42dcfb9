#pragma once

#include "services.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

namespace ondrel::platform {

// A double for tests: records every call, answers the boxes and the file
// dialog from queues, and never blocks or ends the process. Install it with
// RecordingServices::Installed so it is removed again at the end of a test.
class RecordingServices : public Services {
public:
    struct MessageBox {
        QString text;
        int buttons = OkOnly;
        int icon = NoIcon;
        QString title;  // as shown: the application's title when none was given
    };
    struct InputBox {
        QString prompt;
        QString title;
        QString defaultText;
    };
    struct FileDialog {
        QString title;
        QString filter;
        QString initialDir;
    };

    // Answers, taken in order. An empty queue answers as a user pressing the
    // first button (OK, Yes, Abort, Retry), accepting the default text, or
    // cancelling the file dialog.
    QQueue<int> msgBoxAnswers;
    QQueue<QString> inputBoxAnswers;
    QQueue<QString> fileNameAnswers;

    QList<MessageBox> messageBoxes;
    QList<InputBox> inputBoxes;
    QList<FileDialog> fileDialogs;
    int beeps = 0;
    QStringList sounds;     // the file of each playSound call
    QStringList opened;     // each shellOpen address
    QStringList keysSent;   // each sendKeys text
    QList<Pointer> pointers;
    int endProcessCalls = 0;
    // Today for the windows: the real day until a test sets one.
    QDate day;
    // The notifications shown; notify() answers notificationService.
    QList<Notification> notifications;
    bool notificationService = true;

    // The texts of the message boxes shown so far.
    QStringList messageTexts() const;
    // The current pointer (the last one set, Default when none).
    Pointer pointer() const { return pointers.isEmpty() ? Pointer::Default : pointers.last(); }

    int msgBox(const QString& text, int buttons = OkOnly, int icon = NoIcon,
               const QString& title = QString()) override;
    QString inputBox(const QString& prompt, const QString& title = QString(),
                     const QString& defaultText = QString()) override;
    void beep() override { ++beeps; }
    void playSound(const QString& wavFile) override { sounds.append(wavFile); }
    bool shellOpen(const QString& address) override
    {
        opened.append(address);
        return true;
    }
    void sendKeys(const QString& keys) override { keysSent.append(keys); }
    QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& initialDir = QString()) override;
    void setPointer(Pointer pointer) override { pointers.append(pointer); }
    void endProcess() override { ++endProcessCalls; }
    QDate today() override { return day.isValid() ? day : QDate::currentDate(); }
    bool notify(const Notification& notification) override
    {
        notifications.append(notification);
        return notificationService;
    }

    // Installs a double for the lifetime of this guard and restores the
    // previous services afterwards.
    class Installed {
    public:
        explicit Installed(Services& double_);
        ~Installed();
        Installed(const Installed&) = delete;
        Installed& operator=(const Installed&) = delete;

    private:
        Services* m_previous;
    };
};

}  // namespace ondrel::platform
