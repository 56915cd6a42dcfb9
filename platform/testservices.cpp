#include "testservices.h"

namespace ondrel::platform {

namespace {
// The answer of a user pressing the first button of each set.
int firstButton(int buttons)
{
    switch (buttons & 0x7) {
    case YesNoCancel:
    case YesNo: return ResultYes;
    case AbortRetryIgnore: return ResultAbort;
    case RetryCancel: return ResultRetry;
    default: return ResultOk;
    }
}
}  // namespace

QStringList RecordingServices::messageTexts() const
{
    QStringList texts;
    for (const MessageBox& box : messageBoxes)
        texts.append(box.text);
    return texts;
}

int RecordingServices::msgBox(const QString& text, int buttons, int icon, const QString& title)
{
    messageBoxes.append({text, buttons, icon, title.isEmpty() ? applicationTitle() : title});
    return msgBoxAnswers.isEmpty() ? firstButton(buttons) : msgBoxAnswers.dequeue();
}

QString RecordingServices::inputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    inputBoxes.append({prompt, title.isEmpty() ? applicationTitle() : title, defaultText});
    return inputBoxAnswers.isEmpty() ? defaultText : inputBoxAnswers.dequeue();
}

QString RecordingServices::openFileName(QWidget*, const QString& title, const QString& filter,
                                        const QString& initialDir)
{
    fileDialogs.append({title, filter, initialDir});
    return fileNameAnswers.isEmpty() ? QString() : fileNameAnswers.dequeue();
}

RecordingServices::Installed::Installed(Services& double_) : m_previous(&services())
{
    setServices(&double_);
}

RecordingServices::Installed::~Installed()
{
    // Restoring the desktop object itself behaves as "no replacement".
    setServices(m_previous);
}

}  // namespace ondrel::platform
