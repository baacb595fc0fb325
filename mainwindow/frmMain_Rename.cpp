#include "mainwindow/frmMain.h"

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "common/FreeInBackground.h"
#include "common/VbError.h"
#include "common/Zub.h"
#include "controller/EventPacer.h"
#include "rename/RenameOperation.h"
#include "rename/RenameTexts.h"
#include "rename/ui/frmCheckErreur.h"
#include "rename/ui/frmHistory.h"
#include "rules/RuleCheck.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>

#include <utility>

namespace tarvello::mainwindow {

using lang::ui::widgetText;

namespace {

const QString kRenameProcedure = QStringLiteral("cmdRenommer_Click (Feuille frmMain)");
// A message box holds this many of a damaged record's files; the rest are counted.
constexpr int kListedFiles = 20;

} // namespace

// One rename or undo as the window runs it. While it lives, the window is in
// its renaming state, the input that state does not switch off (drops on the
// list, double-clicks and keys in it and in the thumbnails) is held back so
// the list cannot change under the operation, and closing the window becomes
// a stop request followed by the close. For a rename, each renamed entry
// leaves the list (in runs, as events run) and its thumbnail takes the new
// name. The folder view is listed once, at the end, not while files move.
class frmMain::RenameSession : public QObject, public rename::RenameObserver
{
public:
    RenameSession(frmMain &window, bool listFollows)
        : m_window(window)
        , m_listFollows(listFollows)
    {
        m_window.m_controller.beginRename(listFollows ? controller::State::Renaming : controller::State::Undoing);
        const MainWindowControls &ui = m_window.m_ui;
        const QList<QObject *> watched = {&m_window, ui.lstrename, ui.lstrename->viewport(), ui.cmdDnD,
                                          ui.ListView2, ui.ListView2->viewport()};
        for (QObject *object : watched)
            object->installEventFilter(this);
        m_window.m_fileView->holdChanges();
    }

    // Leaves the renaming state, also when the operation ended in an error.
    ~RenameSession() override
    {
        m_window.m_controller.dropRenamedRows();
        m_window.m_fileView->releaseChanges();
        m_window.m_controller.endRename();
    }

    RenameSession(const RenameSession &) = delete;
    RenameSession &operator=(const RenameSession &) = delete;

    void progress(int step, int total) override
    {
        // The window shows its renaming state before the first move; then the
        // stop button answers at once, and 200,000 moves do not pay for
        // 200,000 event rounds.
        if (m_eventsRun && !m_pacer.due())
            return;
        m_eventsRun = true;
        QProgressBar *bar = m_window.m_ui.ProgressBar1;
        if (bar->maximum() != total || !bar->isVisible()) {
            bar->setRange(1, total);
            bar->show();
        }
        bar->setValue(step);
        m_window.m_controller.dropRenamedRows();
        QCoreApplication::processEvents();
    }

    bool stopRequested() override { return m_window.m_controller.stopRequested(); }

    void renamed(const rename::PlannedRename &entry) override
    {
        if (!m_listFollows)
            return;
        m_window.m_controller.noteRenamed(entry);
        renameThumbnail(rename::nativeNameOf(entry.oldPath), rename::nativeNameOf(entry.newPath));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Close:
            if (watched != &m_window)
                return false;
            m_window.m_controller.requestQuit();
            m_window.m_closeAfterRename = true;
            event->ignore();
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
            return watched != &m_window;
        default:
            return false;
        }
    }

private:
    // The first thumbnail named like the old file takes the new name.
    void renameThumbnail(const QByteArray &oldName, const QByteArray &newName)
    {
        QListWidget *thumbnails = m_window.m_ui.ListView2;
        if (thumbnails->count() == 0)
            return;
        if (!m_thumbnails) {
            m_thumbnails.emplace();
            for (int row = thumbnails->count() - 1; row >= 0; --row)
                m_thumbnails->insert(thumbnails->item(row)->text(), thumbnails->item(row));
        }
        const QString from = QFile::decodeName(oldName);
        QListWidgetItem *item = m_thumbnails->value(from);
        if (!item)
            return;
        const QString to = QFile::decodeName(newName);
        m_thumbnails->remove(from);
        item->setText(to);
        QListWidgetItem *named = m_thumbnails->value(to);
        if (!named || thumbnails->row(named) > thumbnails->row(item))
            m_thumbnails->insert(to, item);
    }

    frmMain &m_window;
    bool m_listFollows;
    controller::EventPacer m_pacer{25};
    bool m_eventsRun = false;
    std::optional<QHash<QString, QListWidgetItem *>> m_thumbnails;
};

void frmMain::connectRenameCommands()
{
    connect(m_ui.cmdRenommer, &QPushButton::clicked, this, &frmMain::cmdRenommer_Click);
    connect(m_ui.cmdRenommerStop, &QPushButton::clicked, this, &frmMain::cmdRenommerStop_Click);
    connect(m_ui.cmdDefaire, &QPushButton::clicked, this, &frmMain::cmdDefaire_Click);
    connect(m_ui.cmdHistorique, &QPushButton::clicked, this, &frmMain::cmdHistorique_Click);
    m_ui.cmdDefaire->setEnabled(m_controller.undoAvailable());
}

void frmMain::translateRenameCommands()
{
    const lang::Language &language = m_context.language;
    m_ui.cmdDefaire->setText(widgetText(language.extra(QStringLiteral("UndoCommandCaption"))));
    m_ui.cmdDefaire->setToolTip(widgetText(language.extra(QStringLiteral("UndoCommandToolTip"))));
    m_ui.cmdHistorique->setText(widgetText(language.extra(QStringLiteral("HistoryCommandCaption"))));
    m_ui.cmdHistorique->setToolTip(widgetText(language.extra(QStringLiteral("HistoryCommandToolTip"))));
}

void frmMain::cmdRenommer_Click()
{
    if (m_controller.renaming() || offerRecovery() || !counterFieldsFit())
        return;
    try {
        renameTheList();
    } catch (const common::VbError &error) {
        m_ui.ProgressBar1->hide();
        objetOnOff();
        m_msgBox.ReportError(error, kRenameProcedure);
    }
    closeIfAskedDuringRename();
}

void frmMain::renameTheList()
{
    rename::FileOps fs;
    auto renamed = m_controller.renameList(fs);
    if (!renamed)
        return;
    const auto freeRenamed = qScopeGuard([&] { common::freeInBackground(std::move(renamed)); });
    const auto &[plan, run] = *renamed;
    // A journal that could not be begun: nothing was renamed, nothing resets.
    if (run.journalError == 0) {
        showRuleAfterRename(m_controller.takeRuleAfterRename(int(plan.entries.size())));
        showEntryCount();
        addFurtherPasses(plan, run.report);
        refreshTitle();
    }
    showRenameProblems(run);
}

void frmMain::tellRenameRefused(controller::RenameRefusal why)
{
    lang::Language &language = m_context.language;
    QString text;
    switch (why) {
    case controller::RenameRefusal::EmptyRule:
        text = language.GetMessage(37);
        break;
    case controller::RenameRefusal::ControlCharacter:
        text = language.extra(QStringLiteral("RuleControlCharacter"));
        break;
    case controller::RenameRefusal::RefusedRule:
        text = language.GetMessage(21, rules::ruleRefusal(m_context.settings.rule.rule).value_or(QString()));
        break;
    }
    m_msgBox.KVvrMesgBox(widgetText(text), lang::MsgStyle::Information, language.GetMessage(2));
}

bool frmMain::acceptNarrowCounter(const rename::CounterCapacity &capacity)
{
    lang::Language &language = m_context.language;
    return m_msgBox.KVvrMesgBox(widgetText(rename::counterCapacityQuestion(language, capacity)),
                                lang::MsgStyle::YesNo + lang::MsgStyle::Information, language.GetMessage(1))
        == lang::MsgAnswer::Yes;
}

bool frmMain::reviewConflicts(const rename::RenamePlan &plan)
{
    if (plan.conflictCount() == 0)
        return true;
    rename::ui::frmCheckErreur review(m_context, this);
    review.showConflicts(plan);
    review.exec();
    // "" to go on, "ANNULER" to cancel.
    return review.answer().isEmpty();
}

std::unique_ptr<rename::RenameObserver> frmMain::renameFrame(controller::State state)
{
    return std::make_unique<RenameSession>(*this, state == controller::State::Renaming);
}

void frmMain::showRuleAfterRename(const rename::RuleAfterRename &after)
{
    // The boxes change one after the other: none of them may recompute the names.
    const bool ready = std::exchange(m_ready, false);
    if (after.clearRule)
        m_ui.cboRenommer->setCurrentText(QString());
    if (after.startText)
        m_ui.txtDebut->setText(*after.startText);
    if (after.stepText)
        m_ui.txtPas->setText(*after.stepText);
    m_ready = ready;
}

void frmMain::addFurtherPasses(const rename::RenamePlan &plan, const rename::RenameReport &report)
{
    if (const std::optional<int> left = m_controller.furtherPass(m_ui.txtNbPasse->text(), plan, report)) {
        m_ui.txtNbPasse->setText(QString::number(*left));
        showEntryCount();
    }
}

void frmMain::showRenameProblems(const rename::RenameRun &run)
{
    const QString text = rename::renameRunText(m_context.language, run, m_context.settingsFolder);
    if (!text.isEmpty())
        m_msgBox.KVvrMesgBox(widgetText(text), lang::MsgStyle::Exclamation, m_context.language.GetMessage(2));
}

void frmMain::cmdRenommerStop_Click()
{
    lang::Language &language = m_context.language;
    if (askYesNo(language.GetMessage(20)))
        m_controller.requestStop();
}

bool frmMain::offerRecovery()
{
    return m_controller.offerRecovery();
}

bool frmMain::askRecovery()
{
    lang::Language &language = m_context.language;
    return m_msgBox.askWithCaptions(widgetText(rename::recoveryQuestion(language)),
                                    lang::MsgStyle::Question + lang::MsgStyle::YesNo, language.GetMessage(1),
                                    rename::recoveryAnswers(language))
        == lang::MsgAnswer::Yes;
}

void frmMain::tellRecovery(const rename::RecoveryReport &report)
{
    m_fileView->refresh();
    lang::Language &language = m_context.language;
    m_msgBox.KVvrMesgBox(widgetText(rename::recoveryText(language, report, m_context.settingsFolder)),
                         report.complete() ? lang::MsgStyle::Information : lang::MsgStyle::Exclamation, language.GetMessage(1));
}

void frmMain::tellCutShort(const rename::CutShortRun &run)
{
    lang::Language &language = m_context.language;
    m_msgBox.KVvrMesgBox(widgetText(language.extra(QStringLiteral("RenameCutShort"), QString::number(run.renamed),
                                                   QString::number(run.notRenamed))),
                         lang::MsgStyle::Exclamation, language.GetMessage(1));
}

void frmMain::cmdDefaire_Click()
{
    if (m_controller.renaming() || offerRecovery())
        return;
    std::optional<rename::UndoReport> undo = m_controller.undo();
    if (!undo)
        return;
    const auto freeUndo = qScopeGuard([&] { common::freeInBackground(std::move(undo)); });
    showEntryCount();
    lang::Language &language = m_context.language;
    m_msgBox.KVvrMesgBox(widgetText(rename::undoText(language, *undo, m_context.settingsFolder)),
                         undo->complete() ? lang::MsgStyle::Information : lang::MsgStyle::Exclamation, language.GetMessage(1));
    closeIfAskedDuringRename();
}

void frmMain::cmdHistorique_Click()
{
    if (m_controller.renaming() || offerRecovery())
        return;
    rename::ui::frmHistory history(m_context, m_msgBox, this);
    history.onUndo = [this](int number, int inPlace) {
        if (!askYesNo(m_context.language.extra(QStringLiteral("HistoryUndoQuestion"), QString::number(inPlace))))
            return;
        const rename::UndoReport undo = m_controller.undoHistoryRun(number);
        showEntryCount();
        lang::Language &language = m_context.language;
        m_msgBox.KVvrMesgBox(widgetText(rename::undoText(language, undo, m_context.settingsFolder)),
                             undo.complete() ? lang::MsgStyle::Information : lang::MsgStyle::Exclamation, language.GetMessage(1));
    };
    history.exec();
    closeIfAskedDuringRename();
}

bool frmMain::askUndo(int count)
{
    return askYesNo(m_context.language.extra(QStringLiteral("UndoQuestion"), QString::number(count)));
}

bool frmMain::askSetAside(const rename::DamagedRecord &record)
{
    lang::Language &language = m_context.language;
    const QString question =
        rename::damagedRecordText(language, record, kListedFiles) + QStringLiteral("\r\n\r\n") + rename::setAsideQuestion(language, record.kind);
    return m_msgBox.KVvrMesgBox(widgetText(question), lang::MsgStyle::YesNo + lang::MsgStyle::Exclamation, language.GetMessage(1))
        == lang::MsgAnswer::Yes;
}

void frmMain::tellSetAside(const rename::SetAsideResult &result)
{
    lang::Language &language = m_context.language;
    const bool done = result.error == 0 && !result.sound;
    m_msgBox.KVvrMesgBox(widgetText(rename::setAsideText(language, result)),
                         done ? lang::MsgStyle::Information : lang::MsgStyle::Exclamation, language.GetMessage(1));
    m_ui.cmdDefaire->setEnabled(m_controller.undoAvailable());
}

void frmMain::closeIfAskedDuringRename()
{
    if (std::exchange(m_closeAfterRename, false))
        close();
}

} // namespace tarvello::mainwindow
