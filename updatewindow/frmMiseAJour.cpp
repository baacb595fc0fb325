#include "updatewindow/frmMiseAJour.h"

#include "app/AppContext.h"
#include "common/Zub.h"
#include "common/ui/ZubDesktop.h"
#include "dialogs/HelpTopics.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "update/PackageDownload.h"
#include "update/Site.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tarvello::updatewindow {

namespace {

const QString kTitle = QStringLiteral("Message");

QLabel *namedLabel(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QPushButton *namedButton(QWidget *parent, const QString &name)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    return button;
}

} // namespace

frmMiseAJour::frmMiseAJour(app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_msgBox(msgBox)
{
    setObjectName(QStringLiteral("frmMiseAJour"));
    setModal(true);
    m_version = namedLabel(this, QStringLiteral("Label(0)"));
    QLabel *notesLabel = namedLabel(this, QStringLiteral("Label(1)"));
    m_notes = new QPlainTextEdit(this);
    m_notes->setObjectName(QStringLiteral("Text1"));
    m_notes->setReadOnly(true);
    notesLabel->setBuddy(m_notes);
    m_progressLabel = namedLabel(this, QStringLiteral("lbltelechargement"));
    m_progressLabel->setWordWrap(false);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_progressLabel->setBuddy(m_progress);
    m_next = namedButton(this, QStringLiteral("cmdSuivant"));
    m_next->setDefault(true);
    QPushButton *cancel = namedButton(this, QStringLiteral("cmdAnnuler"));
    QPushButton *help = namedButton(this, QStringLiteral("cmdAide"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_version);
    layout->addSpacing(6);
    layout->addWidget(notesLabel);
    layout->addWidget(m_notes, 1);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressLabel);
    progressRow->addWidget(m_progress, 1);
    layout->addLayout(progressRow);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(m_next);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(m_next, context.language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(cancel, context.language, QStringLiteral("annuler"));
        lang::ui::SetButtonImage(help, context.language, QStringLiteral("aide"));
    }
    lang::ui::TranslateForm(this, context.language);
    m_progressLabel->hide();
    m_progress->hide();

    openPackage = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    openUrl = [](const QString &url) { return common::ui::ZubOpenUrl(url); };
    connect(m_next, &QPushButton::clicked, this, &frmMiseAJour::cmdSuivant_Click);
    connect(cancel, &QPushButton::clicked, this, &frmMiseAJour::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        if (showHelp)
            showHelp(dialogs::HelpTopic::Update);
    });
    resize(qMax(sizeHint().width(), 520), qMax(sizeHint().height(), 380));
}

frmMiseAJour::~frmMiseAJour() = default;

void frmMiseAJour::setOffer(const update::UpdateOffer &offer)
{
    m_offer = offer;
    m_version->setText(m_version->text() + QLatin1Char(' ') + offer.version);
    m_version->setAccessibleName(m_version->text());
    m_notes->setPlainText(offer.notes);
}

void frmMiseAJour::reject()
{
    if (m_download)
        m_download->cancel();
    QDialog::reject();
}

void frmMiseAJour::cmdSuivant_Click()
{
    m_next->hide();
    QString why;
    const QString folder = common::ZubGetTempDir(&why);
    if (folder.isEmpty()) {
        failed(m_context.language.extra(QStringLiteral("UpdateNoTempFolder"), why));
        return;
    }
    m_download = std::make_unique<update::PackageDownload>(m_offer.package, folder, timeoutMs);
    // A package fetched before may be used as it is, once it passes the same check.
    bool reuse = false;
    if (QFileInfo::exists(m_download->path())) {
        reuse = m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.GetMessage(83)),
                                     lang::MsgStyle::Question + lang::MsgStyle::YesNo, kTitle)
            == lang::MsgAnswer::No;
    }
    connect(m_download.get(), &update::PackageDownload::progress, this, &frmMiseAJour::showProgress);
    connect(m_download.get(), &update::PackageDownload::finished, this, &frmMiseAJour::downloadFinished);
    m_progressPrefix = m_progressLabel->text();
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->show();
    m_progressLabel->show();
    setCursor(Qt::BusyCursor);
    m_download->start(reuse);
}

void frmMiseAJour::showProgress(qint64 received, qint64 expected)
{
    if (expected <= 0) {
        // No length announced: the bar only says that bytes come.
        m_progress->setRange(0, 0);
        m_progressLabel->setText(m_progressPrefix + QLatin1Char(' ') + common::ZubDoubleToUnit(double(received)));
        return;
    }
    const double percent = double(received) * 100.0 / double(expected);
    const QString separator = m_context.language.extra(QStringLiteral("DecimalSeparator"));
    m_progressLabel->setText(m_progressPrefix + QLatin1Char(' ')
                             + QString::number(percent, 'f', 1).replace(QLatin1Char('.'), separator)
                             + QStringLiteral(" %"));
    m_progress->setValue(qRound(percent));
}

void frmMiseAJour::downloadFinished()
{
    unsetCursor();
    m_progress->hide();
    m_progressLabel->setText(m_progressPrefix);
    m_progressLabel->hide();
    const update::PackageDownload &download = *m_download;
    lang::Language &language = m_context.language;
    switch (download.outcome()) {
    case update::DownloadOutcome::Ready:
        break;
    case update::DownloadOutcome::Cancelled:
        return;
    case update::DownloadOutcome::NotTrusted:
        failed(language.extra(QStringLiteral("UpdateNotTrusted"), download.detail()));
        return;
    case update::DownloadOutcome::NoChecksum:
        failed(language.extra(QStringLiteral("UpdateNoChecksum"), download.detail()));
        return;
    case update::DownloadOutcome::BadChecksum:
        failed(language.extra(QStringLiteral("UpdateBadChecksum"), download.detail()));
        return;
    case update::DownloadOutcome::Failed:
        failed(language.extra(QStringLiteral("UpdateFailed"), download.detail()));
        return;
    case update::DownloadOutcome::Truncated:
        failed(language.extra(QStringLiteral("UpdateTruncated"), QString::number(download.received()),
                              QString::number(download.expected())));
        return;
    case update::DownloadOutcome::Mismatch:
        failed(language.extra(QStringLiteral("UpdateMismatch")));
        return;
    case update::DownloadOutcome::CannotWrite:
        failed(language.extra(QStringLiteral("UpdateCannotWrite"), download.path(), download.detail()));
        return;
    }
    if (!openPackage(download.path())) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(85)), lang::MsgStyle::Exclamation, kTitle);
        if (m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(84)),
                                 lang::MsgStyle::Question + lang::MsgStyle::YesNo, kTitle)
            == lang::MsgAnswer::Yes)
            openUrl(update::siteAddress());
        return;
    }
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.extra(QStringLiteral("UpdateHandedOver"), m_offer.version)),
                         lang::MsgStyle::Information, language.GetMessage(1));
    accept();
}

void frmMiseAJour::failed(const QString &reason)
{
    lang::Language &language = m_context.language;
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(82) + QStringLiteral("\r\n") + reason),
                         lang::MsgStyle::Exclamation, kTitle);
    if (m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(84)),
                             lang::MsgStyle::Question + lang::MsgStyle::YesNo, kTitle)
        == lang::MsgAnswer::Yes)
        openUrl(update::siteAddress());
}

} // namespace tarvello::updatewindow
