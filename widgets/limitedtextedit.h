#pragma once

#include <QPlainTextEdit>

namespace ondrel::platform {

// A multi-line box whose typing stops at a number of characters counted as
// the record stores them (each line break as a carriage return and a line
// feed). Text set in code is shown whole: the record source refuses a value
// that is too long when it is stored, so nothing is ever cut silently.
class LimitedTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LimitedTextEdit(QWidget* parent = nullptr);

    void setMaxLength(int characters);  // 0: no limit
    int maxLength() const;

    // The length of a text once its line breaks are stored as CR LF.
    static int recordLength(const QString& text);
    // How many characters of an insertion fit in place of the selection.
    int room() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int m_maxLength = 0;
};

}  // namespace ondrel::platform
