#include "rename/ui/frmCheckErreur.h"

#include "app/AppContext.h"
#include "common/Zub.h"
#include "rename/RenamePlan.h"
#include "rename/RenameTexts.h"
#include "lang/ui/Translate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tarvello::rename::ui {

namespace {

// The smallest size the window opens at, and the share of the screen it may take.
constexpr int kMinWidth = 560;
constexpr int kMinHeight = 320;
constexpr int kScreenPercent = 85;

// An entry held back as its line shows it: its current name and the name it
// would take, that one with its folder only when it would leave its own, so
// that a line reads without scrolling sideways.
QString namesOf(const PlannedRename &entry)
{
    const QString from = displayPath(entry.oldPath);
    const QString to = displayPath(entry.newPath);
    const bool sameFolder = common::ZubGetPath(to) == common::ZubGetPath(from);
    return common::ZubGetFileName(from) + QStringLiteral(" -> ") + (sameFolder ? common::ZubGetFileName(to) : to);
}

} // namespace

const QString frmCheckErreur::kAnnuler = QStringLiteral("ANNULER");

frmCheckErreur::frmCheckErreur(const app::AppContext &context, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_answer(kAnnuler)
{
    setObjectName(QStringLiteral("frmCheckErreur"));
    setModal(true);
    m_lblExplication = new QLabel(this);
    m_lblExplication->setObjectName(QStringLiteral("lblExplication"));
    m_lblExplication->setWordWrap(true);
    m_lsterreur = new QListWidget(this);
    m_lsterreur->setObjectName(QStringLiteral("lsterreur"));
    m_lsterreur->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_cmdContinuer = new QPushButton(this);
    m_cmdContinuer->setObjectName(QStringLiteral("cmdContinuer"));
    m_cmdAnnuler = new QPushButton(this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));
    // Enter must not rename by surprise: the safe answer is the default.
    m_cmdAnnuler->setDefault(true);
    connect(m_cmdContinuer, &QPushButton::clicked, this, [this] {
        m_answer.clear();
        accept();
    });
    connect(m_cmdAnnuler, &QPushButton::clicked, this, [this] {
        m_answer = kAnnuler;
        reject();
    });

    // The list takes whatever the window grows by; the buttons stay on the bottom edge.
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdContinuer);
    buttons->addWidget(m_cmdAnnuler);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblExplication);
    layout->addWidget(m_lsterreur, 1);
    layout->addLayout(buttons);

    const lang::Language &language = context.language;
    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(m_cmdContinuer, language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(m_cmdAnnuler, language, QStringLiteral("annuler"));
    }
    lang::ui::TranslateForm(this, language);
    m_scroll.Init(m_lsterreur);
}

void frmCheckErreur::showConflicts(const RenamePlan &plan)
{
    const lang::Language &language = m_context.language;
    m_scroll.Init(m_lsterreur);
    for (const PlannedRename &entry : plan.entries) {
        if (!entry.heldBack())
            continue;
        const QString reason = conflictReason(language, entry.conflict, plan.conflictPath(entry));
        m_scroll.AddItem(lang::ui::widgetText(language.extra(QStringLiteral("RenameFailureLine"), namesOf(entry), reason)));
        // Both paths in full.
        m_lsterreur->item(m_lsterreur->count() - 1)->setToolTip(displayPath(entry.oldPath) + QStringLiteral(" -> ")
                                                                  + displayPath(entry.newPath));
    }
    setWindowTitle(windowTitle() + QStringLiteral(" (") + QString::number(plan.conflictCount()) + QStringLiteral(" / ")
                   + QString::number(plan.entries.size()) + QLatin1Char(')'));
    fitToLines();
}

void frmCheckErreur::fitToLines()
{
    const QRect screen = this->screen()->availableGeometry();
    const QMargins margins = layout()->contentsMargins();
    const int listWidth = m_scroll.widest() + 2 * m_lsterreur->frameWidth()
        + m_lsterreur->verticalScrollBar()->sizeHint().width() + 16;
    const int width = qBound(kMinWidth, listWidth + margins.left() + margins.right(), screen.width() * kScreenPercent / 100);
    const int rows = qMax(m_lsterreur->count(), 1) * qMax(m_lsterreur->sizeHintForRow(0), 1);
    const int chrome = layout()->sizeHint().height() - m_lsterreur->sizeHint().height();
    const int height = qBound(kMinHeight, rows + chrome + 2 * m_lsterreur->frameWidth(), screen.height() * kScreenPercent / 100);
    resize(width, height);
}

} // namespace tarvello::rename::ui
