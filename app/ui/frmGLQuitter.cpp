#include "app/ui/frmGLQuitter.h"

#include "app/AppContext.h"
#include "lang/ui/Translate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tarvello::app::ui {

frmGLQuitter::frmGLQuitter(AppContext &context, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGLQuitter"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    auto *text = new QLabel(this);
    text->setObjectName(QStringLiteral("lblLabel1"));
    text->setWordWrap(true);
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    auto *quit = new QPushButton(this);
    quit->setObjectName(QStringLiteral("cmdQuitter"));
    auto *stay = new QPushButton(this);
    stay->setObjectName(QStringLiteral("cmdContinuer"));
    stay->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(quit);
    buttons->addWidget(stay);
    layout->addLayout(buttons);

    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(quit, context.language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(stay, context.language, QStringLiteral("annuler"));
    }
    lang::ui::TranslateForm(this, context.language);
    connect(quit, &QPushButton::clicked, this, [this, &context] {
        context.quit = true;
        accept();
    });
    connect(stay, &QPushButton::clicked, this, [this, &context] {
        context.quit = false;
        reject();
    });
    setMinimumWidth(360);
}

} // namespace tarvello::app::ui
