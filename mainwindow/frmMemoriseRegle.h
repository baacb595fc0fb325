#pragma once

#include <QDialog>

class QLineEdit;

namespace tarvello::lang {
class Language;
class MsgBox;
}

namespace tarvello::mainwindow {

// Edits the comment and the extension filter of the current rule (the main
// window's lblComment). cmdOK refuses a bracket in either with message 99 and
// stays open; cmdAnnuler leaves them as they were.
class frmMemoriseRegle : public QDialog
{
    Q_OBJECT
public:
    frmMemoriseRegle(lang::Language &language, lang::MsgBox &msgBox, bool images, const QString &comment,
                     const QString &extensionFilter, QWidget *parent = nullptr);

    // The values confirmed with cmdOK: trimmed, message 95 for an empty
    // comment and "*" for an empty filter.
    const QString &comment() const { return m_comment; }
    const QString &extensionFilter() const { return m_extensionFilter; }

private:
    void cmdOK_Click();
    bool eventFilter(QObject *watched, QEvent *event) override;

    lang::Language &m_language;
    lang::MsgBox &m_msgBox;
    QLineEdit *m_txtCommentaire = nullptr;
    QLineEdit *m_txtExtension = nullptr;
    QString m_comment;
    QString m_extensionFilter;
};

} // namespace tarvello::mainwindow
