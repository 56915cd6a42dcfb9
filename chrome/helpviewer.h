#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace ondrel::chrome {

// Our viewer of the help: a window beside the record windows showing a help
// page (HTML, whose links lead to the other pages, or plain text). One viewer
// for the process; asking again shows the page afresh in it, owned by the
// window that asked, so it can be read and scrolled while that window is a
// modal dialog.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    // Shows the file in the viewer, owned by parent, creating it if needed.
    // Returns nullptr, showing nothing, when the file cannot be read.
    static HelpViewer* showFile(const QString& fileName, QWidget* parent);
    // The open viewer, if any.
    static HelpViewer* current();

    QString fileName() const { return m_fileName; }
    QTextBrowser* browser() const { return m_browser; }

private:
    explicit HelpViewer(QWidget* parent);
    bool load(const QString& fileName);
    void belongTo(QWidget* parent);

    QTextBrowser* m_browser = nullptr;
    QString m_fileName;
};

}  // namespace ondrel::chrome
