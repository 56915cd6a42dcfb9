#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace ondrel::chrome {

// Our viewer of the help file: a window beside the record windows showing the
// file's text (HTML when the file is written in it, plain text otherwise).
// One viewer for the process; asking again shows the file afresh in it.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    // Shows the file in the viewer, creating it (owned by parent) if needed.
    // Returns nullptr, showing nothing, when the file cannot be read.
    static HelpViewer* showFile(const QString& fileName, QWidget* parent);
    // The open viewer, if any.
    static HelpViewer* current();

    QString fileName() const { return m_fileName; }
    QTextBrowser* browser() const { return m_browser; }

private:
    explicit HelpViewer(QWidget* parent);
    bool load(const QString& fileName);

    QTextBrowser* m_browser = nullptr;
    QString m_fileName;
};

}  // namespace ondrel::chrome
