#include "updatewindow/UpdateService.h"

#include "app/AppContext.h"
#include "common/ui/ZubDesktop.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "update/Site.h"
#include "update/UpdateCheck.h"
#include "updatewindow/frmMiseAJour.h"

#include <QDate>
#include <QPointer>
#include <QWidget>

namespace tarvello::updatewindow {

UpdateService::UpdateService(app::AppContext &context, lang::MsgBox &msgBox, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_msgBox(msgBox)
{
    openUrl = [](const QString &url) { return common::ui::ZubOpenUrl(url); };
}

UpdateService::~UpdateService()
{
    // The dialog calls the hooks it was given, which may not outlive this.
    delete m_dialog.data();
}

frmMiseAJour *UpdateService::dialog() const
{
    return m_dialog;
}

void UpdateService::checkAtStart(QWidget *mainWindow)
{
    if (m_startUp)
        return;
    if (QDate::fromString(m_context.settings.General_DerniereVerification, Qt::ISODate) == QDate::currentDate())
        return;
    m_startUp = std::make_unique<update::UpdateCheck>(update::UpdateCheck::Request{
        .site = update::siteAddress(),
        .running = m_context.version.text(),
        .localVersionFile = m_context.programFolder + QStringLiteral("/version_local.txt"),
        .withNotes = true,
        .timeoutMs = timeoutMs,
    });
    QPointer<QWidget> window(mainWindow);
    connect(m_startUp.get(), &update::UpdateCheck::finished, this, [this, window] { startUpAnswered(window); });
    m_startUp->start();
}

void UpdateService::startUpAnswered(QWidget *mainWindow)
{
    // The check is still emitting its signal: it goes once this returns.
    update::UpdateCheck *check = m_startUp.release();
    check->deleteLater();
    // A check that reached nobody is tried again at the next start.
    if (check->outcome() != update::CheckOutcome::NoAnswer)
        m_context.settings.General_DerniereVerification = QDate::currentDate().toString(Qt::ISODate);
    lang::Language &language = m_context.language;
    if (check->outcome() == update::CheckOutcome::Empty) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(7)), lang::MsgStyle::Information,
                             language.GetMessage(1));
        return;
    }
    if (check->outcome() != update::CheckOutcome::Newer || m_dialog)
        return;
    if (mainWindow && mainWindow->isMinimized())
        mainWindow->showNormal();
    auto *dialog = new frmMiseAJour(m_context, m_msgBox, mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->showHelp = showHelp;
    if (openPackage)
        dialog->openPackage = openPackage;
    dialog->openUrl = openUrl;
    dialog->timeoutMs = timeoutMs;
    dialog->setOffer(check->offer());
    m_dialog = dialog;
    // Shown without waiting for it: the start goes on underneath.
    dialog->show();
}

void UpdateService::checkOnDemand(std::function<void()> done)
{
    if (m_onDemand)
        return;
    m_onDemand = std::make_unique<update::UpdateCheck>(update::UpdateCheck::Request{
        .site = update::siteAddress(),
        .running = m_context.version.text(),
        .withNotes = false,
        .timeoutMs = timeoutMs,
    });
    connect(m_onDemand.get(), &update::UpdateCheck::finished, this, [this, done] { onDemandAnswered(done); });
    m_onDemand->start();
}

void UpdateService::onDemandAnswered(const std::function<void()> &done)
{
    update::UpdateCheck *check = m_onDemand.release();
    check->deleteLater();
    lang::Language &language = m_context.language;
    const QString title = language.GetMessage(1);
    switch (check->outcome()) {
    case update::CheckOutcome::Newer:
    case update::CheckOutcome::NotesMissing: {
        const QString site = update::siteAddress();
        if (m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(5, check->offer().version, site)),
                                 lang::MsgStyle::Information + lang::MsgStyle::YesNo, title)
            == lang::MsgAnswer::Yes)
            openUrl(site);
        break;
    }
    case update::CheckOutcome::NotNewer:
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(6)), lang::MsgStyle::Information, title);
        break;
    case update::CheckOutcome::Empty:
    case update::CheckOutcome::NotAVersion:
    case update::CheckOutcome::NoAnswer:
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(7)), lang::MsgStyle::Information, title);
        break;
    }
    if (done)
        done();
}

} // namespace tarvello::updatewindow
