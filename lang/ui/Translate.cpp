#include "lang/ui/Translate.h"

#include "lang/Language.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QWidget>

namespace tarvello::lang::ui {

namespace {

const QString kCaption = QStringLiteral(".Caption");
const QString kToolTip = QStringLiteral(".ToolTipText");

QString plainCaption(QString text)
{
    // "&&" is a literal ampersand, a single "&" marks the mnemonic.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text.simplified();
}

// An editable combo box (the rule box) read as the box its label names, its
// value being what is typed: on Linux Qt reads such a box's text as its name
// and leaves its label to a relation that not every screen reader follows, so
// the user would hear the rule typed in place of what the box is for.
class NamedComboBox : public QAccessibleWidget
{
public:
    explicit NamedComboBox(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto *box = static_cast<const QComboBox *>(widget());
        if (t == QAccessible::Value)
            return box->currentText();
        if (t == QAccessible::Name && !box->accessibleName().isEmpty())
            return box->accessibleName();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *namedComboBoxes(const QString &className, QObject *object)
{
    auto *box = qobject_cast<QComboBox *>(object);
    if (className == QLatin1String("QComboBox") && box && box->isEditable())
        return new NamedComboBox(box);
    return nullptr;
}

// The caption of an object, and whether it has one at all.
bool captionOf(QObject *object, QString &caption)
{
    if (auto *button = qobject_cast<QAbstractButton *>(object)) {
        caption = button->text();
    } else if (auto *label = qobject_cast<QLabel *>(object)) {
        caption = label->text();
    } else if (auto *group = qobject_cast<QGroupBox *>(object)) {
        caption = group->title();
    } else if (auto *menu = qobject_cast<QMenu *>(object)) {
        caption = menu->title();
    } else if (auto *action = qobject_cast<QAction *>(object)) {
        caption = action->text();
    } else {
        return false;
    }
    return true;
}

void setCaption(QObject *object, const QString &caption)
{
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        button->setText(caption);
    else if (auto *label = qobject_cast<QLabel *>(object))
        label->setText(caption);
    else if (auto *group = qobject_cast<QGroupBox *>(object))
        group->setTitle(caption);
    else if (auto *menu = qobject_cast<QMenu *>(object))
        menu->setTitle(caption);
    else if (auto *action = qobject_cast<QAction *>(object))
        action->setText(caption);
}

QString toolTipOf(QObject *object)
{
    if (auto *widget = qobject_cast<QWidget *>(object))
        return widget->toolTip();
    if (auto *action = qobject_cast<QAction *>(object))
        return action->toolTip();
    return {};
}

// What a translation made of a control, kept so that the next translation,
// in another language, does not take it for the control's own text.
constexpr char kCaptionToolTip[] = "tarvelloCaptionToolTip";
constexpr char kToolTipDescription[] = "tarvelloToolTipDescription";

// The tooltip a control has of its own: not the caption an earlier
// translation gave a button as its tooltip, nor the text that an action
// without a tooltip shows as one.
QString ownToolTip(QObject *object)
{
    const QString tip = toolTipOf(object);
    if (tip == object->property(kCaptionToolTip).toString())
        return {};
    if (auto *action = qobject_cast<QAction *>(object);
        action && tip == plainCaption(QString(action->text()).remove(QStringLiteral("..."))))
        return {};
    return tip;
}

void setToolTip(QObject *object, const QString &tip)
{
    if (auto *widget = qobject_cast<QWidget *>(object))
        widget->setToolTip(tip);
    else if (auto *action = qobject_cast<QAction *>(object))
        action->setToolTip(tip);
}

// Swaps a button's icon while the pointer is over it.
class HoverIcon : public QObject
{
public:
    HoverIcon(QAbstractButton *button, QIcon normal, QIcon hover)
        : QObject(button), m_normal(std::move(normal)), m_hover(std::move(hover))
    {
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *button = static_cast<QAbstractButton *>(watched);
        if (event->type() == QEvent::Enter)
            button->setIcon(m_hover);
        else if (event->type() == QEvent::Leave)
            button->setIcon(m_normal);
        return false;
    }

private:
    QIcon m_normal;
    QIcon m_hover;
};

// True when the object is part of the window itself, its pop-up menus
// included, not of a dialog the window owns, which has its own section.
bool partOf(QObject *object, const QWidget *window)
{
    for (QObject *o = object; o; o = o->parent()) {
        auto *widget = qobject_cast<QWidget *>(o);
        if (!widget)
            continue;
        const QWidget *own = widget->window();
        while (own != window && own->windowType() == Qt::Popup && own->parentWidget())
            own = own->parentWidget()->window();
        return own == window;
    }
    return false;
}

} // namespace

QString widgetText(const QString &value)
{
    QString text = value;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

void TranslateForm(QWidget *window, const Language &language)
{
    if (!window)
        return;
    static const bool namedBoxes = [] {
        QAccessible::installFactory(namedComboBoxes);
        return true;
    }();
    Q_UNUSED(namedBoxes);
    const QString section = window->objectName();
    window->setWindowTitle(widgetText(
        language.ReadLangKey(section, section + kCaption, window->windowTitle())));

    QHash<QWidget *, QLabel *> buddies;
    QList<QObject *> objects = window->findChildren<QObject *>();
    objects.removeIf([window](QObject *object) { return !partOf(object, window); });
    for (QObject *object : objects) {
        if (auto *label = qobject_cast<QLabel *>(object); label && label->buddy())
            buddies.insert(label->buddy(), label);
    }
    for (QObject *object : objects) {
        const QString name = object->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        QString caption;
        if (captionOf(object, caption)) {
            caption = widgetText(language.ReadLangKey(section, name + kCaption, caption));
            setCaption(object, caption);
        }
        setToolTip(object, widgetText(language.ReadLangKey(section, name + kToolTip, ownToolTip(object))));
    }
    for (QObject *object : objects) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (!widget || widget->objectName().isEmpty())
            continue;
        QString caption;
        const bool hasCaption = captionOf(widget, caption);
        if (auto *button = qobject_cast<QAbstractButton *>(widget); button && button->toolTip().isEmpty()) {
            button->setToolTip(plainCaption(caption));
            button->setProperty(kCaptionToolTip, button->toolTip());
        }
        QString accessible = hasCaption ? plainCaption(caption) : QString();
        if (accessible.isEmpty() && buddies.contains(widget))
            accessible = plainCaption(buddies.value(widget)->text());
        if (accessible.isEmpty())
            accessible = widget->toolTip().simplified();
        if (!accessible.isEmpty())
            widget->setAccessibleName(accessible);
        const QString tip = widget->toolTip().simplified();
        const QString description = !tip.isEmpty() && tip != accessible ? tip : QString();
        if (!description.isEmpty()
            || widget->accessibleDescription() == widget->property(kToolTipDescription).toString()) {
            widget->setAccessibleDescription(description);
            widget->setProperty(kToolTipDescription, description);
        }
    }
}

void SetButtonImage(QAbstractButton *button, const Language &language, const QString &role)
{
    const QString image = language.buttonImagePath(role);
    if (!button || image.isEmpty())
        return;
    button->setText(QString());
    const QIcon normal(image);
    button->setIcon(normal);
    const QString hover = QString(image).replace(QStringLiteral(".gif"), QStringLiteral("_d.gif"));
    if (QFile::exists(hover))
        new HoverIcon(button, normal, QIcon(hover));
}

void retranslateOpenWindows()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->parentWidget())
            continue;
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(window, &change);
    }
}

} // namespace tarvello::lang::ui
