#include "rename/ui/frmHistory.h"

#include "app/AppContext.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "rename/FileOps.h"
#include "rename/RenamePlan.h"
#include "rename/RenameTexts.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarvello::rename::ui {

using lang::ui::widgetText;

frmHistory::frmHistory(const app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_msgBox(msgBox)
{
    setObjectName(QStringLiteral("frmHistory"));
    setModal(true);
    const lang::Language &language = context.language;
    setWindowTitle(language.extra(QStringLiteral("HistoryTitle")));
    m_runs = new QTreeWidget(this);
    m_runs->setObjectName(QStringLiteral("lstRuns"));
    m_runs->setRootIsDecorated(false);
    m_runs->setHeaderLabels({language.extra(QStringLiteral("HistoryColumnNumber")),
                             language.extra(QStringLiteral("HistoryColumnTime")),
                             language.extra(QStringLiteral("HistoryColumnKind")),
                             language.extra(QStringLiteral("HistoryColumnFiles"))});
    m_runs->setAccessibleName(language.extra(QStringLiteral("HistoryRunsName")));
    m_files = new QTreeWidget(this);
    m_files->setObjectName(QStringLiteral("lstFiles"));
    m_files->setRootIsDecorated(false);
    m_files->setUniformRowHeights(true);
    m_files->setHeaderLabels({language.extra(QStringLiteral("HistoryColumnOld")),
                              language.extra(QStringLiteral("HistoryColumnNew"))});
    m_files->setAccessibleName(language.extra(QStringLiteral("HistoryFilesName")));
    m_cmdUndo = new QPushButton(widgetText(language.extra(QStringLiteral("HistoryUndo"))), this);
    m_cmdUndo->setObjectName(QStringLiteral("cmdUndo"));
    m_cmdExport = new QPushButton(widgetText(language.extra(QStringLiteral("HistoryExport"))), this);
    m_cmdExport->setObjectName(QStringLiteral("cmdExport"));
    m_cmdClose = new QPushButton(widgetText(language.extra(QStringLiteral("HistoryClose"))), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    m_cmdClose->setDefault(true);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_runs);
    split->addWidget(m_files);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdUndo);
    buttons->addWidget(m_cmdExport);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(760, 520);

    connect(m_runs, &QTreeWidget::currentItemChanged, this, &frmHistory::showFiles);
    connect(m_cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cmdExport, &QPushButton::clicked, this, &frmHistory::exportCsv);
    connect(m_cmdUndo, &QPushButton::clicked, this, [this] {
        const int run = chosenRun();
        if (run >= 0 && run < m_inPlace.size() && m_inPlace[run] > 0 && onUndo)
            onUndo(run + 1, m_inPlace[run]);
        reload();
    });
    reload();
}

void frmHistory::reload()
{
    const lang::Language &language = m_context.language;
    m_history = RenameHistory(m_context.settingsFolder).runs();
    m_inPlace.clear();
    FileOps fs;
    m_runs->clear();
    QList<QTreeWidgetItem *> items;
    for (qsizetype i = 0; i < m_history.size(); ++i) {
        const HistoryRun &run = m_history[i];
        QString files = QString::number(run.files.size());
        // Only the runs that can be undone are looked for on the disk.
        if (i < RenameHistory::kUndoableRuns) {
            m_inPlace.append(filesInPlace(run, fs));
            files = language.extra(QStringLiteral("HistoryInPlace"), QString::number(m_inPlace.last()), files);
        }
        items.append(new QTreeWidgetItem(
            {QString::number(i + 1), run.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             language.extra(run.undo ? QStringLiteral("HistoryKindUndo") : QStringLiteral("HistoryKindRename")), files}));
    }
    m_runs->addTopLevelItems(items);
    for (int column = 0; column < 3; ++column)
        m_runs->resizeColumnToContents(column);
    if (!items.isEmpty())
        m_runs->setCurrentItem(items.first());
    showFiles();
    m_cmdExport->setEnabled(!m_history.isEmpty());
}

int frmHistory::chosenRun() const
{
    return m_runs->currentItem() ? m_runs->indexOfTopLevelItem(m_runs->currentItem()) : -1;
}

void frmHistory::showFiles()
{
    m_files->clear();
    const int run = chosenRun();
    m_cmdUndo->setEnabled(run >= 0 && run < m_inPlace.size() && m_inPlace[run] > 0);
    m_cmdUndo->setToolTip(m_cmdUndo->isEnabled()
                              ? QString()
                              : m_context.language.extra(QStringLiteral("HistoryNotUndoable"),
                                                         QString::number(RenameHistory::kUndoableRuns)));
    if (run < 0 || run >= m_history.size())
        return;
    QList<QTreeWidgetItem *> items;
    for (const UndoPair &pair : m_history[run].files)
        items.append(new QTreeWidgetItem({displayPath(pair.oldPath), displayPath(pair.newPath)}));
    m_files->addTopLevelItems(items);
    m_files->header()->resizeSection(0, m_files->viewport()->width() / 2);
}

void frmHistory::exportCsv()
{
    const lang::Language &language = m_context.language;
    const QString path = QFileDialog::getSaveFileName(this, language.extra(QStringLiteral("HistoryExport")).remove(QChar(0x2026)),
                                                      QString(), language.extra(QStringLiteral("HistoryCsvFilter")));
    if (path.isEmpty())
        return;
    // The save dialog has asked before an existing file is written over.
    if (const int error = writeFileDurably(QFile::encodeName(path), historyCsv(m_history), true)) {
        m_msgBox.KVvrMesgBox(widgetText(language.extra(QStringLiteral("HistoryExportFailed"), path, errorReason(language, error))),
                             lang::MsgStyle::Exclamation, language.extra(QStringLiteral("HistoryTitle")));
    }
}

} // namespace tarvello::rename::ui
