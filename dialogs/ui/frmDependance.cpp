#include "dialogs/ui/frmDependance.h"

#include "app/AppContext.h"
#include "common/Twips.h"
#include "dialogs/HelpTopics.h"
#include "dialogs/ui/CHelp.h"
#include "lang/ui/Translate.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarvello::dialogs::ui {

namespace {

// Column widths and the design size of the window, in twips.
constexpr int kNameWidth = 3100;
constexpr int kVersionWidth = 2000;
constexpr int kWidth = 6000;
constexpr int kHeight = 6600;

} // namespace

frmDependance::frmDependance(app::AppContext &context, CHelp &help, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDependance"));
    setWindowTitle(QStringLiteral("Dépendances"));
    lang::Language &language = context.language;

    m_lstDependance = new QTreeWidget(this);
    m_lstDependance->setObjectName(QStringLiteral("lstDependance"));
    m_lstDependance->setRootIsDecorated(false);
    m_lstDependance->setUniformRowHeights(true);
    m_lstDependance->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto *cmdPressePapier = new QPushButton(QStringLiteral("&Copier"), this);
    cmdPressePapier->setObjectName(QStringLiteral("cmdPressePapier"));
    auto *cmdAide = new QPushButton(QStringLiteral("&Aide"), this);
    cmdAide->setObjectName(QStringLiteral("cmdAide"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdPressePapier, &QPushButton::clicked, this, &frmDependance::cmdPressePapier_Click);
    connect(cmdAide, &QPushButton::clicked, this, [&help] { help.Show(HelpTopic::Dependance); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdAide);
    buttons->addStretch();
    buttons->addWidget(cmdPressePapier);
    buttons->addWidget(cmdOK);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lstDependance);
    layout->addLayout(buttons);

    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(cmdOK, language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(cmdAide, language, QStringLiteral("aide"));
        lang::ui::SetButtonImage(cmdPressePapier, language, QStringLiteral("pressepapier"));
    }
    lang::ui::TranslateForm(this, language);

    const double dpi = logicalDpiX();
    m_lstDependance->setHeaderLabels({lang::ui::widgetText(language.GetMessage(86)),
                                      lang::ui::widgetText(language.GetMessage(87))});
    m_lstDependance->clear();
    const QList<DependencyRow> rows = dependencyRows(lang::ui::widgetText(language.GetMessage(89)));
    QList<QTreeWidgetItem *> items;
    items.reserve(rows.size());
    for (const DependencyRow &row : rows)
        items.append(new QTreeWidgetItem({row.name, row.version}));
    m_lstDependance->addTopLevelItems(items);

    // The columns have their design widths, or more where a name or a version
    // (the system's name is long) would be cut; the window follows them.
    int listWidth = 2 * m_lstDependance->frameWidth() + m_lstDependance->verticalScrollBar()->sizeHint().width();
    for (const auto &[column, designWidth] : {std::pair{0, kNameWidth}, std::pair{1, kVersionWidth}}) {
        m_lstDependance->resizeColumnToContents(column);
        const int width = qMax(common::twipsToPixels(designWidth, dpi), m_lstDependance->columnWidth(column));
        m_lstDependance->setColumnWidth(column, width);
        listWidth += width;
    }
    const QRect screen = this->screen()->availableGeometry();
    const int margins = layout->contentsMargins().left() + layout->contentsMargins().right();
    resize(qMin(qMax(common::twipsToPixels(kWidth, dpi), listWidth + margins), screen.width() * 9 / 10),
           qMin(common::twipsToPixels(kHeight, dpi), screen.height() * 9 / 10));
}

QList<DependencyRow> frmDependance::rows() const
{
    QList<DependencyRow> rows;
    for (int i = 0; i < m_lstDependance->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_lstDependance->topLevelItem(i);
        rows.append({item->text(0), item->text(1)});
    }
    return rows;
}

void frmDependance::cmdPressePapier_Click()
{
    QGuiApplication::clipboard()->setText(dependencyText(rows()));
}

} // namespace tarvello::dialogs::ui
