#pragma once

#include <QToolButton>

namespace ondrel::platform {

// A toolbar button that tells when the mouse enters and leaves it, so the
// window can show a hover text in its status label. It may carry a caption
// (the record buttons "Novo", "Salvar", ...) with or without a picture.
class ToolbarButton : public QToolButton {
    Q_OBJECT
public:
    explicit ToolbarButton(const QString& caption = QString(), QWidget* parent = nullptr);

    // The caption shown on the button ("Emprestar"); the hover handlers may
    // change it while the mouse is over the button.
    void setCaption(const QString& caption);
    QString caption() const;

    // What the button means: its tool tip and its accessible name.
    void setHoverText(const QString& text);
    QString hoverText() const;

    void setPicture(const QIcon& picture);

signals:
    void mouseEnter();
    void mouseExit();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_hoverText;
};

}  // namespace ondrel::platform
