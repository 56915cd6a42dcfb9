#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class QCursor;

namespace ondrel::platform {

// Buttons and icons of a message box. Their values can share one int: the
// buttons in the low bits, the icon in bits 4 to 6 and the default button's
// index in bits 8 and 9, so one argument can carry all three.
enum MsgButtons : int {
    OkOnly = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
};
enum MsgIcon : int {
    NoIcon = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};
enum MsgResult : int {
    ResultOk = 1,
    ResultCancel = 2,
    ResultAbort = 3,
    ResultRetry = 4,
    ResultIgnore = 5,
    ResultYes = 6,
    ResultNo = 7,
};

enum class Pointer { Default, Hourglass, Custom };

// A desktop notification: a summary, a body and one action a person may
// choose, with what choosing it does.
struct Notification {
    QString summary;
    QString body;
    QString action;  // the action's caption
    std::function<void()> activated;
};

// Everything the windows ask of the desktop, behind one interface so tests
// can replace it with a recording double and never block on a modal box.
class Services {
public:
    virtual ~Services() = default;

    // A message box; an empty title shows the application's title ("Ulmix").
    virtual int msgBox(const QString& text, int buttons = OkOnly, int icon = NoIcon,
                       const QString& title = QString()) = 0;
    // Input box; returns "" when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title = QString(),
                             const QString& defaultText = QString()) = 0;
    virtual void beep() = 0;
    // Plays a .wav file asynchronously; the desktop's default sound when the
    // file is missing. No audio device is no error.
    virtual void playSound(const QString& wavFile) = 0;
    // Opens an address with the user's browser (or a file with its program).
    virtual bool shellOpen(const QString& address) = 0;
    // Sends a key, such as "{f1}", to the active window.
    virtual void sendKeys(const QString& keys) = 0;
    // File-open dialog with a filter text "desc|pattern|desc|pattern".
    // Returns the chosen path or "" when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& initialDir = QString()) = 0;
    // The mouse pointer over the whole application.
    virtual void setPointer(Pointer pointer) = 0;
    // Ends the process at once, without asking or saving anything.
    virtual void endProcess() = 0;
    // Today, as every window dates what it writes and compares (a test's
    // double sets a day of its own).
    virtual QDate today() { return QDate::currentDate(); }
    // Shows a notification on the desktop (the notification service of the
    // session bus); false when no such service answered, and the caller
    // says it another way.
    virtual bool notify(const Notification& notification) = 0;
};

// The desktop's save dialog with Portuguese labels, opened on `suggested` (a
// folder and a file name); returns the chosen path or "" when cancelled. It
// asks nothing about a file already there: the caller does, in its own words.
// The recording double does not replace it; a test answers it as a person
// would (testutil::answerDialog).
QString saveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& suggested);

// The services in force for the process; the real desktop ones unless a test
// installed its double. Never null.
Services& services();
// Installs a replacement (tests); pass nullptr to restore the desktop one.
void setServices(Services* replacement);

// Work done right before the desktop services end the process at once:
// the plug-in copies its journals into the collection file and closes it.
void setBeforeEnd(std::function<void()> work);

// The application's title used as the default title of message boxes.
QString applicationTitle();

// Turns a filter text "desc|pattern|desc|pattern" (patterns separated by
// ';') into Qt's name filters "desc (p1 p2)". "*.*" means every file, with
// or without an extension.
QStringList nameFiltersFromFilterText(const QString& filter);

// A key event as a text of sendKeys names it: "{f1}" .. "{f16}", "{enter}",
// "{esc}", "{tab}" and the like (case ignored), or one plain character.
// Returns Qt::Key_unknown for anything else.
int keyFromSendKeys(const QString& keys);

}  // namespace ondrel::platform
