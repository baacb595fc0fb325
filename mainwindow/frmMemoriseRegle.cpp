#include "mainwindow/frmMemoriseRegle.h"

#include "lang/Language.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "rules/RuleTools.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvello::mainwindow {

frmMemoriseRegle::frmMemoriseRegle(lang::Language &language, lang::MsgBox &msgBox, bool images,
                                   const QString &comment, const QString &extensionFilter, QWidget *parent)
    : QDialog(parent)
    , m_language(language)
    , m_msgBox(msgBox)
    , m_comment(comment)
    , m_extensionFilter(extensionFilter)
{
    setObjectName(QStringLiteral("frmMemoriseRegle"));
    setWindowTitle(QStringLiteral("Option memorisation"));
    setModal(true);
    m_txtCommentaire = new QLineEdit(this);
    m_txtCommentaire->setObjectName(QStringLiteral("txtCommentaire"));
    m_txtExtension = new QLineEdit(this);
    m_txtExtension->setObjectName(QStringLiteral("txtExtension"));
    auto *lblCommentaire = new QLabel(this);
    lblCommentaire->setObjectName(QStringLiteral("lblCommentaire"));
    lblCommentaire->setBuddy(m_txtCommentaire);
    auto *lblExtension = new QLabel(this);
    lblExtension->setObjectName(QStringLiteral("lblExtension"));
    lblExtension->setBuddy(m_txtExtension);
    auto *ok = new QPushButton(this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(this);
    cancel->setObjectName(QStringLiteral("cmdAnnuler"));

    auto *fields = new QFormLayout;
    fields->addRow(lblCommentaire, m_txtCommentaire);
    fields->addRow(lblExtension, m_txtExtension);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    if (images) {
        lang::ui::SetButtonImage(ok, language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(cancel, language, QStringLiteral("annuler"));
    }
    lang::ui::TranslateForm(this, language);
    m_txtCommentaire->setText(comment.isEmpty() ? language.GetMessage(93) : comment);
    m_txtExtension->setText(extensionFilter.isEmpty() ? QStringLiteral("*") : extensionFilter);
    m_txtCommentaire->installEventFilter(this);

    connect(ok, &QPushButton::clicked, this, &frmMemoriseRegle::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmMemoriseRegle::eventFilter(QObject *watched, QEvent *event)
{
    // The stand-in texts go as the box is entered, so a comment need not be
    // typed over them.
    if (watched == m_txtCommentaire && event->type() == QEvent::FocusIn) {
        const QString text = m_txtCommentaire->text();
        if (text == m_language.GetMessage(93) || text == m_language.GetMessage(95))
            m_txtCommentaire->clear();
    }
    return QDialog::eventFilter(watched, event);
}

void frmMemoriseRegle::cmdOK_Click()
{
    const auto edited =
        rules::editedComment(m_txtCommentaire->text(), m_txtExtension->text(), m_language.GetMessage(95));
    if (!edited) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_language.GetMessage(99)), lang::MsgStyle::Information,
                             m_language.GetMessage(2));
        return;
    }
    m_comment = edited->first;
    m_extensionFilter = edited->second;
    accept();
}

} // namespace tarvello::mainwindow
