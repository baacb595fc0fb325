#include "dialogs/ui/CHelp.h"

#include "app/AppContext.h"
#include "common/Twips.h"
#include "common/ui/ZubDesktop.h"
#include "dialogs/HelpTopics.h"
#include "lang/Language.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tarvello::dialogs::ui {

namespace {

// Design size of the help window, in twips.
constexpr int kWidth = 12000;
constexpr int kHeight = 9000;

} // namespace

frmHelp::frmHelp(const lang::Language &language, bool images, UrlOpener openUrl)
    : m_language(language)
    , m_openUrl(std::move(openUrl))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Aide de Tarvello"));
    m_txtAide = new QTextBrowser(this);
    m_txtAide->setObjectName(QStringLiteral("txtAide"));
    // Links are followed here: pages of the help in the pane, the web outside.
    m_txtAide->setOpenLinks(false);
    connect(m_txtAide, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        const QUrl target = m_txtAide->source().resolved(url);
        if (target.isLocalFile())
            m_txtAide->setSource(target);
        else
            m_openUrl(target.toString());
    });

    auto *cmdSommaire = new QPushButton(QStringLiteral("&Sommaire"), this);
    cmdSommaire->setObjectName(QStringLiteral("cmdSommaire"));
    auto *cmdPrecedent = new QPushButton(QStringLiteral("&Précédent"), this);
    cmdPrecedent->setObjectName(QStringLiteral("cmdPrecedent"));
    cmdPrecedent->setEnabled(false);
    auto *cmdFermer = new QPushButton(QStringLiteral("&Fermer"), this);
    cmdFermer->setObjectName(QStringLiteral("cmdFermer"));
    connect(cmdSommaire, &QPushButton::clicked, m_txtAide, &QTextBrowser::home);
    connect(cmdPrecedent, &QPushButton::clicked, m_txtAide, &QTextBrowser::backward);
    connect(m_txtAide, &QTextBrowser::backwardAvailable, cmdPrecedent, &QPushButton::setEnabled);
    connect(cmdFermer, &QPushButton::clicked, this, &QWidget::close);
    if (images)
        lang::ui::SetButtonImage(cmdFermer, language, QStringLiteral("oui"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdSommaire);
    buttons->addWidget(cmdPrecedent);
    buttons->addStretch();
    buttons->addWidget(cmdFermer);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_txtAide);
    layout->addLayout(buttons);

    const double dpi = logicalDpiX();
    resize(common::twipsToPixels(kWidth, dpi), common::twipsToPixels(kHeight, dpi));
    lang::ui::TranslateForm(this, language);
    m_txtAide->setAccessibleName(windowTitle());
}

void frmHelp::showTopic(const QString &helpFile, int topic)
{
    show();
    raise();
    activateWindow();
    QUrl url = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
    if (topic != 0)
        url.setFragment(QString::number(topic));
    if (url == m_txtAide->source())
        m_txtAide->scrollToAnchor(url.fragment());
    else
        m_txtAide->setSource(url);
}

void frmHelp::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::LanguageChange)
        return;
    lang::ui::TranslateForm(this, m_language);
    m_txtAide->setAccessibleName(windowTitle());
    const QFileInfo help(m_language.helpFilePath().trimmed());
    if (!m_txtAide->source().isEmpty() && help.isFile() && help.size() > 0) {
        QUrl url = QUrl::fromLocalFile(help.absoluteFilePath());
        url.setFragment(m_txtAide->source().fragment());
        m_txtAide->setSource(url);
    }
}

CHelp::CHelp(app::AppContext &context, lang::MsgBox &msgBox, UrlOpener openUrl)
    : m_context(context)
    , m_msgBox(msgBox)
    , m_openUrl(openUrl ? std::move(openUrl) : UrlOpener(common::ui::ZubOpenUrl))
{
}

CHelp::~CHelp()
{
    delete m_window;
}

void CHelp::Show(int topic)
{
    lang::Language &language = m_context.language;
    const QString helpFile = language.helpFilePath().trimmed();
    const QFileInfo info(helpFile);
    // An empty file is no more help than a missing one.
    if (!info.isFile() || !info.isReadable() || info.size() == 0) {
        const int answer = m_msgBox.KVvrMesgBox(language.GetMessage(53), lang::MsgStyle::Information + lang::MsgStyle::YesNo,
                                                language.GetMessage(1));
        if (answer == lang::MsgAnswer::Yes)
            m_openUrl(onlineManualUrl());
        return;
    }
    if (!m_window)
        m_window = new frmHelp(language, m_context.settings.General_AfficherImageBouton != 0, m_openUrl);
    m_window->showTopic(helpFile, topic);
}

void CHelp::closeHelp()
{
    delete m_window;
}

} // namespace tarvello::dialogs::ui
