#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace tarvello::lang {
class Language;
}

namespace tarvello::lang::ui {

// Sets the title of a window and the caption, tooltip and accessible name of
// each of its controls from the window's section of the language file (section
// = the window's objectName, keys = a control's objectName + ".Caption" or
// ".ToolTipText"; elements of a control array are named "name(index)"). A
// missing key leaves the designed text. A control without a caption of its own
// is named for screen readers by its tooltip or by the label it is the buddy of;
// an editable combo box reads that name, with its text as its value.
void TranslateForm(QWidget *window, const Language &language);

// Puts the role's image of langages/common on a button, and the role's "_d"
// image while the pointer is over it; the caption is cleared (TranslateForm,
// called afterwards, writes it again beside the image). Missing files change
// nothing.
void SetButtonImage(QAbstractButton *button, const Language &language, const QString &role);

// Tells the open windows that the language changed: a LanguageChange event
// reaches each window and its controls (a window opened over another reaches
// it through its owner), and each window translates itself on it.
void retranslateOpenWindows();

// A language file value made fit for a widget: the "\r\n" of "|" becomes "\n".
QString widgetText(const QString &value);

} // namespace tarvello::lang::ui
