#include "formhelpers.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace ondrel::platform {

namespace {

// A combo box named by its caption. Qt's own interface for combo boxes
// gives their current text as their name on this platform, so a screen
// reader would say "Livro" instead of "Objeto:". This one takes the box's
// accessible name, else its buddy label's text, and only then its text.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value || (t == QAccessible::Name && QAccessibleWidget::text(t).isEmpty()))
            return combo()->currentText();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return combo()->isEditable() ? 2 : 1; }

    QAccessibleInterface* child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (child->object() == combo()->view())
            return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit())
            return 1;
        return -1;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString& action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* namedComboFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QComboBox"))
        return nullptr;
    auto* combo = qobject_cast<QComboBox*>(object);
    return combo ? new NamedComboBox(combo) : nullptr;
}

}  // namespace

void nameBox(QWidget* box, const QString& caption)
{
    QString name = caption;
    name.remove(QLatin1Char('&'));
    box->setAccessibleName(name);
    if (qobject_cast<QComboBox*>(box)) {
        // Consulted before Qt's own factory, which the application object
        // installed when it started.
        static const bool installed = [] {
            QAccessible::installFactory(namedComboFactory);
            return true;
        }();
        Q_UNUSED(installed);
        // An interface made for the box before it had its name is forgotten.
        QAccessibleInterface* kept = QAccessible::queryAccessibleInterface(box);
        if (kept && !dynamic_cast<NamedComboBox*>(kept))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(kept));
    }
}

QLabel* makeCaption(QWidget* parent, const QString& name, const QString& text, QWidget* box)
{
    QLabel* label = makeLabel(parent, name, text);
    label->setBuddy(box);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (box) {
        nameBox(box, text);
        if (box->parentWidget() == parent)
            label->stackUnder(box);
    }
    return label;
}

}  // namespace ondrel::platform
