#include "services.h"

#include "notifications.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSoundEffect>
#include <QUrl>
#include <QWidget>

#include <unistd.h>

namespace ondrel::platform {

namespace {

struct BoxButton {
    QMessageBox::StandardButton button;
    const char* text;  // as a Brazilian desktop labels it
    MsgResult result;
};

QList<BoxButton> buttonsFor(int buttons)
{
    const BoxButton ok{QMessageBox::Ok, "OK", ResultOk};
    const BoxButton cancel{QMessageBox::Cancel, "Cancelar", ResultCancel};
    const BoxButton abort{QMessageBox::Abort, "&Anular", ResultAbort};
    const BoxButton retry{QMessageBox::Retry, "&Repetir", ResultRetry};
    const BoxButton ignore{QMessageBox::Ignore, "&Ignorar", ResultIgnore};
    const BoxButton yes{QMessageBox::Yes, "&Sim", ResultYes};
    const BoxButton no{QMessageBox::No, "&Não", ResultNo};
    switch (buttons & 0x7) {
    case OkCancel: return {ok, cancel};
    case AbortRetryIgnore: return {abort, retry, ignore};
    case YesNoCancel: return {yes, no, cancel};
    case YesNo: return {yes, no};
    case RetryCancel: return {retry, cancel};
    default: return {ok};
    }
}

QMessageBox::Icon qtIcon(int icon)
{
    switch (icon & 0x70) {
    case Critical: return QMessageBox::Critical;
    case Question: return QMessageBox::Question;
    case Exclamation: return QMessageBox::Warning;
    case Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QWidget* dialogParent()
{
    return QApplication::activeWindow();
}

// Shows a file dialog with Portuguese labels and the kinds of the filter text;
// the chosen path, or "" when cancelled.
QString runFileDialog(QFileDialog& dialog, const QString& filter, const QString& lookIn, const QString& accept)
{
    // The list of kinds shows each description as the filter text gives it
    // ("Bitmaps (*.bmp)", "Todos os Formatos"), its patterns not repeated
    // after it.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = nameFiltersFromFilterText(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    dialog.setLabelText(QFileDialog::LookIn, lookIn);
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nome do arquivo:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Arquivos do tipo:"));
    dialog.setLabelText(QFileDialog::Accept, accept);
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

// The desktop: real boxes, real sounds, a real end.
std::function<void()>& beforeEnd()
{
    static std::function<void()> work;
    return work;
}

class DesktopServices final : public Services {
public:
    int msgBox(const QString& text, int buttons, int icon, const QString& title) override
    {
        // The buttons value may carry the icon and the default button as well,
        // so one argument can say all three.
        if (icon == NoIcon)
            icon = buttons & 0x70;
        const int defaultIndex = (buttons >> 8) & 0x3;

        QMessageBox box(qtIcon(icon), title.isEmpty() ? applicationTitle() : title, text,
                        QMessageBox::NoButton, dialogParent());
        const QList<BoxButton> boxButtons = buttonsFor(buttons);
        QList<QAbstractButton*> made;
        for (const BoxButton& boxButton : boxButtons) {
            QPushButton* b = box.addButton(boxButton.button);
            b->setText(QString::fromUtf8(boxButton.text));
            made.append(b);
        }
        box.setDefaultButton(static_cast<QPushButton*>(made.value(defaultIndex, made.first())));
        if (boxButtons.size() == 1)
            box.setEscapeButton(made.first());
        box.exec();
        const int index = made.indexOf(box.clickedButton());
        if (index >= 0)
            return boxButtons[index].result;
        // Closed without a button: the cancelling answer where there is one.
        for (const BoxButton& boxButton : boxButtons)
            if (boxButton.result == ResultCancel)
                return ResultCancel;
        return boxButtons.last().result;
    }

    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        QInputDialog dialog(dialogParent());
        dialog.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
        dialog.setLabelText(prompt);
        dialog.setTextValue(defaultText);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("Cancelar"));
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        return dialog.textValue();
    }

    void beep() override { QApplication::beep(); }

    void playSound(const QString& wavFile) override
    {
        if (wavFile.isEmpty() || !QFile::exists(wavFile)) {
            beep();  // the desktop's default sound
            return;
        }
        if (!m_effect) {
            // Owned by the application object so it goes before the audio
            // back end does.
            m_effect = new QSoundEffect(qApp);
        }
        // A new sound stops the one still playing: alarms never overlap.
        m_effect->stop();
        const QUrl source = QUrl::fromLocalFile(wavFile);
        if (m_effect->source() != source)
            m_effect->setSource(source);
        m_effect->play();  // no audio device: nothing is heard, no error
    }

    bool shellOpen(const QString& address) override
    {
        return QDesktopServices::openUrl(QUrl::fromUserInput(address));
    }

    void sendKeys(const QString& keys) override
    {
        const int key = keyFromSendKeys(keys);
        if (key == Qt::Key_unknown)
            return;
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = QApplication::activeWindow();
        if (!target)
            return;
        const QString text = keys.startsWith(u'{') ? QString() : keys;
        // Queued, as keystrokes are: they arrive after the calling handler.
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    }

    QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& initialDir) override
    {
        QFileDialog dialog(parent ? parent : dialogParent(), title.isEmpty() ? QStringLiteral("Abrir") : title,
                           initialDir);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return runFileDialog(dialog, filter, QStringLiteral("Examinar:"), QStringLiteral("&Abrir"));
    }

    void setPointer(Pointer pointer) override
    {
        if (pointer == Pointer::Default) {
            if (m_overridden)
                QGuiApplication::restoreOverrideCursor();
            m_overridden = false;
            return;
        }
        const QCursor cursor(pointer == Pointer::Hourglass ? Qt::WaitCursor : Qt::PointingHandCursor);
        if (m_overridden) {
            QGuiApplication::changeOverrideCursor(cursor);
        } else {
            QGuiApplication::setOverrideCursor(cursor);
            m_overridden = true;
        }
    }

    [[noreturn]] void endProcess() override
    {
        // At once: no event loop, no destructors; only the work that keeps
        // the collection file whole on its own.
        if (beforeEnd())
            beforeEnd()();
        ::_exit(0);
    }

    bool notify(const Notification& notification) override
    {
        if (!m_notifications)
            m_notifications = new DesktopNotifications(qApp);
        return m_notifications->send(notification);
    }

private:
    QPointer<DesktopNotifications> m_notifications;
    QPointer<QSoundEffect> m_effect;
    bool m_overridden = false;
};

Services*& replacementServices()
{
    static Services* replacement = nullptr;
    return replacement;
}

}  // namespace

void setBeforeEnd(std::function<void()> work)
{
    beforeEnd() = std::move(work);
}

Services& services()
{
    if (Services* replacement = replacementServices())
        return *replacement;
    static DesktopServices desktop;
    return desktop;
}

void setServices(Services* replacement)
{
    replacementServices() = replacement;
}

QString applicationTitle()
{
    return QStringLiteral("Ulmix");
}

QString saveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& suggested)
{
    QFileDialog dialog(parent ? parent : dialogParent(), title.isEmpty() ? QStringLiteral("Salvar como") : title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
    dialog.setDirectory(QFileInfo(suggested).absolutePath());
    dialog.selectFile(QFileInfo(suggested).fileName());
    return runFileDialog(dialog, filter, QStringLiteral("Salvar em:"), QStringLiteral("&Salvar"));
}

QStringList nameFiltersFromFilterText(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns;
        for (const QString& raw : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString pattern = raw.trimmed();
            if (pattern.isEmpty())
                continue;
            patterns.append(pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        result.append(QStringLiteral("%1 (%2)").arg(description, patterns.join(u' ')));
    }
    return result;
}

int keyFromSendKeys(const QString& keys)
{
    if (keys.size() == 1)
        return QKeySequence(keys).isEmpty() ? int(Qt::Key_unknown) : QKeySequence(keys)[0].key();
    if (!keys.startsWith(u'{') || !keys.endsWith(u'}'))
        return Qt::Key_unknown;
    const QString name = keys.mid(1, keys.size() - 2).toLower();
    if (name.size() >= 2 && name[0] == u'f') {
        bool ok = false;
        const int n = name.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 16)
            return Qt::Key_F1 + (n - 1);
        return Qt::Key_unknown;
    }
    static const QHash<QString, int> named{
        {QStringLiteral("enter"), Qt::Key_Return}, {QStringLiteral("~"), Qt::Key_Return},
        {QStringLiteral("esc"), Qt::Key_Escape},   {QStringLiteral("escape"), Qt::Key_Escape},
        {QStringLiteral("tab"), Qt::Key_Tab},      {QStringLiteral("backspace"), Qt::Key_Backspace},
        {QStringLiteral("bs"), Qt::Key_Backspace}, {QStringLiteral("delete"), Qt::Key_Delete},
        {QStringLiteral("del"), Qt::Key_Delete},   {QStringLiteral("home"), Qt::Key_Home},
        {QStringLiteral("end"), Qt::Key_End},      {QStringLiteral("up"), Qt::Key_Up},
        {QStringLiteral("down"), Qt::Key_Down},    {QStringLiteral("left"), Qt::Key_Left},
        {QStringLiteral("right"), Qt::Key_Right},  {QStringLiteral("pgup"), Qt::Key_PageUp},
        {QStringLiteral("pgdn"), Qt::Key_PageDown}, {QStringLiteral("insert"), Qt::Key_Insert},
    };
    return named.value(name, Qt::Key_unknown);
}

}  // namespace ondrel::platform
