#include "mainwindow/MainWindowControls.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTableView>

#include "filelist/FileList.h"
#include <QVBoxLayout>

namespace tarvello::mainwindow {

namespace {

// Tip frame of each token label, by label index: 0 current date, 1 file date,
// 2 other tokens, 3 Exif, 4 replace text, 5 replace by position.
constexpr int kTokenFrame[33] = {
    2, 2, 0, 0, 0, 0, 0, 0, 1, 3, 3, 3, 3, 3, 3, 2, 3,
    3, 3, 3, 3, 3, 2, 1, 1, 1, 1, 1, 1, 4, 5, 2, 2,
};

// A row whose new name would not be given is tinted; its status column says
// why, so the colour is never the only sign.
class ConflictRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(filelist::FileList::kConflictRole).toBool()) {
            option->backgroundBrush = QColor(255, 214, 204);
            option->palette.setColor(QPalette::Text, QColor(128, 0, 0));
        }
    }
};

// A check box whose caption wraps under itself when its column is narrower
// than the caption: the rule options keep two columns at the narrowest window
// in every language. A click anywhere on the caption ticks it, as on a
// one-line check box.
class WrappingCheckBox : public QCheckBox
{
public:
    explicit WrappingCheckBox(QWidget *parent)
        : QCheckBox(parent)
    {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum, QSizePolicy::CheckBox);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    QSize sizeHint() const override { return sizeFor(textSize(QWIDGETSIZE_MAX)); }
    QSize minimumSizeHint() const override
    {
        int widest = 0;
        for (const QString &word : caption().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = std::max(widest, fontMetrics().horizontalAdvance(word));
        return sizeFor(textSize(widest));
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return sizeFor(textSize(width - textLeft())).height(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const int indicatorHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
        const int lineHeight = fontMetrics().height();
        option.rect = QRect(0, std::max(0, (lineHeight - indicatorHeight) / 2),
                            style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this), indicatorHeight);
        painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, option);
        const QRect text(textLeft(), 0, width() - textLeft(), height());
        const int flags = textFlags();
        painter.drawItemText(text, flags, palette(), isEnabled(), QCheckBox::text(), foregroundRole());
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = painter.boundingRect(text, flags, QCheckBox::text()).adjusted(-1, 0, 1, 0);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

private:
    static constexpr int kWrap = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

    int textFlags() const
    {
        return kWrap | (style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic);
    }
    QString caption() const { return QString(text()).remove(QLatin1Char('&')); }
    int textLeft() const
    {
        return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this)
            + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
    }
    QSize textSize(int width) const
    {
        return fontMetrics().boundingRect(QRect(0, 0, std::max(width, 1), QWIDGETSIZE_MAX), textFlags(), text()).size();
    }
    QSize sizeFor(QSize text) const
    {
        const int indicatorHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
        return {textLeft() + text.width() + 2, std::max(text.height(), indicatorHeight) + 2};
    }
};

template<typename T>
T *named(QWidget *parent, const QString &name)
{
    auto *w = new T(parent);
    w->setObjectName(name);
    return w;
}

QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QPushButton *button(QWidget *parent, const char *name)
{
    auto *b = named<QPushButton>(parent, QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLabel *label(QWidget *parent, const QString &name, QWidget *buddy = nullptr)
{
    auto *l = named<QLabel>(parent, name);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

// The rule's groups stand one above the other in a window 707 pixels high:
// their insides keep the side margins and little above and below.
template<typename L>
L *groupLayout(QWidget *group)
{
    auto *layout = new L(group);
    layout->setContentsMargins(8, 2, 8, 4);
    return layout;
}

QLineEdit *lineEdit(QWidget *parent, const QString &name, int maxWidth = 0)
{
    auto *e = named<QLineEdit>(parent, name);
    if (maxWidth > 0)
        e->setMaximumWidth(maxWidth);
    return e;
}

} // namespace

int tipFrameOfToken(int labelIndex)
{
    return labelIndex >= 0 && labelIndex < 33 ? kTokenFrame[labelIndex] : -1;
}

void MainWindowControls::setupUi(QMainWindow *window, QWidget *tree, QWidget *fileView)
{
    window->setObjectName(QStringLiteral("frmMain"));
    auto *central = new QWidget(window);
    window->setCentralWidget(central);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 6, 6, 6);
    auto *columns = new QHBoxLayout;
    outer->addLayout(columns, 1);

    // Left: where the files are.
    auto *left = new QVBoxLayout;
    tree->setParent(central);
    tree->setObjectName(QStringLiteral("TreeView1"));
    left->addWidget(tree, 4);
    fileViews = new QStackedWidget(central);
    fileView->setObjectName(QStringLiteral("ListView1"));
    fileViews->addWidget(fileView);
    ListView2 = named<QListWidget>(fileViews, QStringLiteral("ListView2"));
    ListView2->setViewMode(QListView::IconMode);
    ListView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView2->setResizeMode(QListView::Adjust);
    fileViews->addWidget(ListView2);
    left->addWidget(fileViews, 5);
    auto *filterRow = new QHBoxLayout;
    txtFilter = lineEdit(central, QStringLiteral("txtFilter"));
    Label1 = label(central, QStringLiteral("Label1"), txtFilter);
    cmdRefresh = button(central, "cmdRefresh");
    filterRow->addWidget(Label1);
    filterRow->addWidget(txtFilter, 1);
    filterRow->addWidget(cmdRefresh);
    left->addLayout(filterRow);
    auto *countRow = new QHBoxLayout;
    Label2 = label(central, QStringLiteral("Label2"));
    cmdRefreshFolder = button(central, "cmdRefreshFolder");
    countRow->addWidget(Label2, 1);
    countRow->addWidget(cmdRefreshFolder);
    left->addLayout(countRow);
    picturePreview = named<QLabel>(central, QStringLiteral("picturePreview"));
    picturePreview->setFixedSize(161, 121);
    picturePreview->setFrameShape(QFrame::StyledPanel);
    picturePreview->setAlignment(Qt::AlignCenter);
    // The switches of the preview and the thumbnails stand beside the picture.
    auto *previewRow = new QHBoxLayout;
    auto *previewSwitches = new QVBoxLayout;
    chkPreview = named<QCheckBox>(central, QStringLiteral("chkPreview"));
    chkVignette = named<QCheckBox>(central, QStringLiteral("chkVignette"));
    previewSwitches->addWidget(chkPreview);
    previewSwitches->addWidget(chkVignette);
    previewSwitches->addStretch(1);
    previewRow->addWidget(picturePreview);
    previewRow->addLayout(previewSwitches, 1);
    left->addLayout(previewRow);
    // The three areas share the width; the folder browser's share lets the
    // file view show whole camera names with their sizes at the smallest window.
    columns->addLayout(left, 31);

    // Middle: which files.
    auto *middle = new QVBoxLayout;
    lstrename = named<QTableView>(central, QStringLiteral("lstrename"));
    lstrename->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstrename->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstrename->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Nothing in a row is edited: the arrows move between rows, Tab leaves the list.
    lstrename->setTabKeyNavigation(false);
    lstrename->setShowGrid(false);
    lstrename->setWordWrap(false);
    lstrename->setCornerButtonEnabled(false);
    lstrename->setAlternatingRowColors(true);
    lstrename->setTextElideMode(Qt::ElideMiddle);
    lstrename->setAcceptDrops(true);
    // Rows of one fixed height: the view never measures 100,000 of them.
    lstrename->verticalHeader()->hide();
    lstrename->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstrename->verticalHeader()->setDefaultSectionSize(lstrename->fontMetrics().height() + 6);
    lstrename->horizontalHeader()->setStretchLastSection(true);
    lstrename->horizontalHeader()->setHighlightSections(false);
    lstrename->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lstrename->setItemDelegate(new ConflictRowDelegate(lstrename));
    middle->addWidget(lstrename, 1);
    auto *listButtons = new QGridLayout;
    cmdAdd = button(central, "cmdAdd");
    cmdAddAll = button(central, "cmdAddAll");
    cmdDel = button(central, "cmdDel");
    cmdClear = button(central, "cmdClear");
    cmdUp = button(central, "cmdUp");
    cmdDown = button(central, "cmdDown");
    const QPushButton *const order[] = {cmdAdd, cmdAddAll, cmdDel, cmdClear, cmdUp, cmdDown};
    for (int i = 0; i < 6; ++i)
        listButtons->addWidget(const_cast<QPushButton *>(order[i]), i / 3, i % 3);
    middle->addLayout(listButtons);
    // The order on one line, its direction and command under it: the list
    // keeps its width for the names.
    auto *sortRow = new QHBoxLayout;
    auto *sortCommandRow = new QHBoxLayout;
    cboTri = named<QComboBox>(central, QStringLiteral("cboTri"));
    cboTri->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblTri = label(central, QStringLiteral("lblTri"), cboTri);
    chkTriDecroissant = named<QCheckBox>(central, QStringLiteral("chkTriDecroissant"));
    cmdTrier = button(central, "cmdTrier");
    sortRow->addWidget(lblTri);
    sortRow->addWidget(cboTri, 1);
    sortCommandRow->addWidget(chkTriDecroissant);
    sortCommandRow->addStretch(1);
    sortCommandRow->addWidget(cmdTrier);
    middle->addLayout(sortRow);
    middle->addLayout(sortCommandRow);
    mnuPopup = new QMenu(window);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    mnuAddHieriachy = mnuPopup->addAction(QString());
    mnuAddHieriachy->setObjectName(QStringLiteral("mnuAddHieriachy"));
    auto *dropRow = new QHBoxLayout;
    cmdDnD = button(central, "cmdDnD");
    cmdDnD->setMinimumHeight(34);
    cmdDnD->setAcceptDrops(true);
    dropRow->addWidget(cmdDnD, 1);
    middle->addLayout(dropRow);
    auto *progressRow = new QHBoxLayout;
    Label4 = label(central, QStringLiteral("Label4"));
    Label4->setWordWrap(true);
    ProgressBar1 = named<QProgressBar>(central, QStringLiteral("ProgressBar1"));
    ProgressBar1->setVisible(false);
    cmdStopAction = button(central, "cmdStopAction");
    cmdStopAction->setVisible(false);
    lblConflits = label(central, QStringLiteral("lblConflits"));
    lblConflits->setStyleSheet(QStringLiteral("color: #A00000; font-weight: bold;"));
    lblConflits->setVisible(false);
    progressRow->addWidget(Label4);
    progressRow->addWidget(lblConflits);
    progressRow->addWidget(ProgressBar1, 1);
    progressRow->addWidget(cmdStopAction);
    middle->addLayout(progressRow);
    chkRefresh = named<QCheckBox>(central, QStringLiteral("chkRefresh"));
    middle->addWidget(chkRefresh);
    lblDradNDrop = label(lstrename->viewport(), QStringLiteral("lblDradNDrop"));
    lblDradNDrop->setVisible(false);
    columns->addLayout(middle, 28);

    // Right: what they become.
    auto *right = new QVBoxLayout;
    Frame1 = named<QGroupBox>(central, QStringLiteral("Frame1"));
    auto *ruleGrid = groupLayout<QGridLayout>(Frame1);
    cboRenommer = named<QComboBox>(Frame1, QStringLiteral("cboRenommer"));
    cboRenommer->setEditable(true);
    cboRenommer->setInsertPolicy(QComboBox::NoInsert);
    cboRenommer->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboRenommer->setMinimumContentsLength(14);
    Label5 = label(Frame1, QStringLiteral("Label5"), cboRenommer);
    cmdPrendrePlus = button(Frame1, "cmdPrendrePlus");
    cmdPrendreMoins = button(Frame1, "cmdPrendreMoins");
    cmdPrendreSupprimer = button(Frame1, "cmdPrendreSupprimer");
    lblComment = label(Frame1, QStringLiteral("lblComment"));
    lblComment->setTextInteractionFlags(Qt::NoTextInteraction);
    lblComment->setWordWrap(true);
    // The comment reads under the rule, the buttons that memorise it beside.
    ruleGrid->addWidget(Label5, 0, 0);
    ruleGrid->addWidget(cboRenommer, 0, 1, 1, 4);
    ruleGrid->addWidget(lblComment, 1, 1);
    ruleGrid->addWidget(cmdPrendrePlus, 1, 2);
    ruleGrid->addWidget(cmdPrendreMoins, 1, 3);
    ruleGrid->addWidget(cmdPrendreSupprimer, 1, 4);
    ruleGrid->setColumnStretch(1, 1);
    right->addWidget(Frame1);

    auto *counterRow = new QHBoxLayout;
    Frame2 = named<QGroupBox>(central, QStringLiteral("Frame2"));
    auto *counter = groupLayout<QHBoxLayout>(Frame2);
    txtDebut = lineEdit(Frame2, QStringLiteral("txtDebut"), 70);
    Label6 = label(Frame2, QStringLiteral("Label6"), txtDebut);
    txtPas = lineEdit(Frame2, QStringLiteral("txtPas"), 50);
    Label7 = label(Frame2, QStringLiteral("Label7"), txtPas);
    txtNbPasse = lineEdit(Frame2, QStringLiteral("txtNbPasse"), 40);
    lblNbPasse = label(Frame2, QStringLiteral("lblNbPasse"), txtNbPasse);
    for (QWidget *w : {static_cast<QWidget *>(Label6), static_cast<QWidget *>(txtDebut),
                       static_cast<QWidget *>(Label7), static_cast<QWidget *>(txtPas),
                       static_cast<QWidget *>(lblNbPasse), static_cast<QWidget *>(txtNbPasse)})
        counter->addWidget(w);
    counter->addStretch(1);
    counterRow->addWidget(Frame2, 1);
    right->addLayout(counterRow);

    Frame3 = named<QGroupBox>(central, QStringLiteral("Frame3"));
    auto *options = groupLayout<QGridLayout>(Frame3);
    chkInterdit = named<WrappingCheckBox>(Frame3, QStringLiteral("chkInterdit"));
    chkAutoIncrement = named<WrappingCheckBox>(Frame3, QStringLiteral("chkAutoIncrement"));
    chkTrim = named<WrappingCheckBox>(Frame3, QStringLiteral("chkTrim"));
    chkUpperFirstChar = named<WrappingCheckBox>(Frame3, QStringLiteral("chkUpperFirstChar"));
    chkUpperCaseFirstWord = named<WrappingCheckBox>(Frame3, QStringLiteral("chkUpperCaseFirstWord"));
    chkExtension = named<WrappingCheckBox>(Frame3, QStringLiteral("chkExtension"));
    txtExtension = lineEdit(Frame3, QStringLiteral("txtExtension"), 60);
    txtExtension->setMinimumWidth(48);
    // Two columns, the first a little wider for the extension box: at the
    // narrowest window only the longest caption wraps, and the group stays
    // low enough for the tips under it.
    auto *extensionRow = new QHBoxLayout;
    extensionRow->addWidget(chkExtension, 1);
    extensionRow->addWidget(txtExtension);
    options->addWidget(chkInterdit, 0, 0);
    options->addWidget(chkTrim, 0, 1);
    options->addWidget(chkAutoIncrement, 1, 0);
    options->addWidget(chkUpperFirstChar, 1, 1);
    options->addLayout(extensionRow, 2, 0);
    options->addWidget(chkUpperCaseFirstWord, 2, 1);
    options->setColumnStretch(0, 5);
    options->setColumnStretch(1, 4);
    right->addWidget(Frame3);

    Frame5 = named<QGroupBox>(central, QStringLiteral("Frame5"));
    auto *caseRow = groupLayout<QHBoxLayout>(Frame5);
    Label9 = label(Frame5, QStringLiteral("Label9"));
    caseRow->addWidget(Label9);
    optCasseGroup = new QButtonGroup(Frame5);
    for (int i = 0; i < 3; ++i) {
        auto *r = named<QRadioButton>(Frame5, arrayName("optCasse", i));
        optCasse.append(r);
        optCasseGroup->addButton(r, i);
        caseRow->addWidget(r);
    }
    optCasse.first()->setChecked(true);
    caseRow->addStretch(1);
    right->addWidget(Frame5);

    // Tips: the topics in a strip above the frame of the chosen one, which
    // gets the pane's whole width for its tokens.
    auto *tips = new QVBoxLayout;
    auto *tipList = new QHBoxLayout;
    lstAstuce = named<QListWidget>(central, QStringLiteral("lstAstuce"));
    lstAstuce->setFlow(QListView::LeftToRight);
    lstAstuce->setWrapping(true);
    lstAstuce->setResizeMode(QListView::Adjust);
    lstAstuce->setSpacing(1);
    lstAstuce->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstAstuce->setFixedHeight(3 * (lstAstuce->fontMetrics().height() + 6) + 2 * lstAstuce->frameWidth() + 4);
    Label15 = label(central, QStringLiteral("Label15"), lstAstuce);
    Label15->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label10 = label(central, QStringLiteral("Label10"));
    Label10->setWordWrap(true);
    tipList->addWidget(Label15);
    tipList->addWidget(lstAstuce, 1);
    tips->addLayout(tipList);
    tipFrames = new QStackedWidget(central);
    QList<QGridLayout *> frameGrids;
    for (int i = 0; i < 7; ++i) {
        auto *frame = named<QGroupBox>(tipFrames, arrayName("fAstuce", i));
        fAstuce.append(frame);
        frameGrids.append(groupLayout<QGridLayout>(frame));
        tipFrames->addWidget(frame);
    }
    QList<int> placed(6, 0);
    for (int i = 0; i < 33; ++i) {
        const int f = kTokenFrame[i];
        auto *token = named<QLabel>(fAstuce[f], arrayName("Label8", i));
        token->setCursor(Qt::PointingHandCursor);
        token->setFocusPolicy(Qt::TabFocus);
        Label8.append(token);
        // The Exif topic has twelve tokens: two columns; the others one.
        const int n = placed[f]++;
        if (f == 3)
            frameGrids[f]->addWidget(token, n / 2, n % 2);
        else if (f < 4)
            frameGrids[f]->addWidget(token, n, 0, 1, 2);
    }
    cmdEffacerExif = button(fAstuce[3], "cmdEffacerExif");
    frameGrids[3]->addWidget(cmdEffacerExif, 6, 0, 1, 2, Qt::AlignLeft);
    for (int f : {0, 1, 2, 3})
        frameGrids[f]->setRowStretch(frameGrids[f]->rowCount(), 1);

    // Tip frame 4: replace a text.
    {
        QGridLayout *g = frameGrids[4];
        g->addWidget(Label8[29], 0, 0, 1, 4);
        txtRechercher = lineEdit(fAstuce[4], QStringLiteral("txtRechercher"));
        lblRechercher = label(fAstuce[4], QStringLiteral("lblRechercher"), txtRechercher);
        txtRemplacer = lineEdit(fAstuce[4], QStringLiteral("txtRemplacer"));
        lblRemplacer = label(fAstuce[4], QStringLiteral("lblRemplacer"), txtRemplacer);
        g->addWidget(lblRechercher, 1, 0);
        g->addWidget(txtRechercher, 1, 1, 1, 3);
        g->addWidget(lblRemplacer, 2, 0);
        g->addWidget(txtRemplacer, 2, 1, 1, 3);
        auto *choices = new QHBoxLayout;
        auto *group = new QButtonGroup(fAstuce[4]);
        for (int i = 0; i < 3; ++i) {
            auto *r = named<QRadioButton>(fAstuce[4], arrayName("optRepStr", i));
            auto *l = label(fAstuce[4], arrayName("lblRepStr", i), r);
            optRepStr.append(r);
            lblRepStr.append(l);
            group->addButton(r, i);
            choices->addWidget(r);
            choices->addWidget(l);
        }
        choices->addStretch(1);
        g->addLayout(choices, 3, 0, 1, 4);
        cmdRepStr = button(fAstuce[4], "cmdRepStr");
        g->addWidget(cmdRepStr, 4, 0, 1, 4, Qt::AlignRight);
        g->setRowStretch(5, 1);
    }

    // Tip frame 5: replace by position.
    {
        QGridLayout *g = frameGrids[5];
        g->addWidget(Label8[30], 0, 0, 1, 6);
        auto *group = new QButtonGroup(fAstuce[5]);
        for (int i = 0; i < 3; ++i) {
            auto *r = named<QRadioButton>(fAstuce[5], arrayName("optRepPos", i));
            optRepPos.append(r);
            group->addButton(r, i);
        }
        for (int i = 0; i < 4; ++i) {
            auto *t = lineEdit(fAstuce[5], arrayName("txtRepPos", i), 40);
            txtRepPos.append(t);
            lblRepPos.append(label(fAstuce[5], arrayName("lblRepPos", i), t));
        }
        g->addWidget(optRepPos[0], 1, 0);
        g->addWidget(lblRepPos[0], 1, 1);
        g->addWidget(txtRepPos[0], 1, 2);
        g->addWidget(lblRepPos[1], 1, 3);
        g->addWidget(txtRepPos[1], 1, 4);
        g->addWidget(optRepPos[1], 2, 0);
        g->addWidget(lblRepPos[2], 2, 1);
        g->addWidget(txtRepPos[2], 2, 2);
        g->addWidget(optRepPos[2], 3, 0);
        g->addWidget(lblRepPos[3], 3, 1);
        g->addWidget(txtRepPos[3], 3, 2);
        auto *ends = new QHBoxLayout;
        auto *endGroup = new QButtonGroup(fAstuce[5]);
        for (int i = 0; i < 2; ++i) {
            auto *r = named<QRadioButton>(fAstuce[5], arrayName("optRepPosDebutFin", i));
            auto *l = label(fAstuce[5], arrayName("lblRepPosDebutFin", i), r);
            optRepPosDebutFin.append(r);
            lblRepPosDebutFin.append(l);
            endGroup->addButton(r, i);
            ends->addWidget(r);
            ends->addWidget(l);
        }
        ends->addStretch(1);
        g->addLayout(ends, 4, 0, 1, 6);
        txtRemplacerPos = lineEdit(fAstuce[5], QStringLiteral("txtRemplacerPos"));
        lblRemplacerPos = label(fAstuce[5], QStringLiteral("lblRemplacerPos"), txtRemplacerPos);
        cmdRepPos = button(fAstuce[5], "cmdRepPos");
        g->addWidget(lblRemplacerPos, 5, 0, 1, 2);
        g->addWidget(txtRemplacerPos, 5, 2, 1, 3);
        g->addWidget(cmdRepPos, 5, 5, Qt::AlignRight);
        g->setColumnStretch(5, 1);
        g->setRowStretch(6, 1);
    }
    // Tip frame 6: replace by a regular expression.
    {
        QGridLayout *g = frameGrids[6];
        lblRegxAide = label(fAstuce[6], QStringLiteral("lblRegxAide"));
        lblRegxAide->setWordWrap(true);
        lblRegxAide->setTextInteractionFlags(Qt::TextSelectableByMouse);
        txtRegxMotif = lineEdit(fAstuce[6], QStringLiteral("txtRegxMotif"));
        lblRegxMotif = label(fAstuce[6], QStringLiteral("lblRegxMotif"), txtRegxMotif);
        txtRegxRemplacer = lineEdit(fAstuce[6], QStringLiteral("txtRegxRemplacer"));
        lblRegxRemplacer = label(fAstuce[6], QStringLiteral("lblRegxRemplacer"), txtRegxRemplacer);
        chkRegxCasse = named<QCheckBox>(fAstuce[6], QStringLiteral("chkRegxCasse"));
        chkRegxTout = named<QCheckBox>(fAstuce[6], QStringLiteral("chkRegxTout"));
        cmdRepRegx = button(fAstuce[6], "cmdRepRegx");
        g->addWidget(lblRegxAide, 0, 0, 1, 4);
        g->addWidget(lblRegxMotif, 1, 0);
        g->addWidget(txtRegxMotif, 1, 1, 1, 3);
        g->addWidget(lblRegxRemplacer, 2, 0);
        g->addWidget(txtRegxRemplacer, 2, 1, 1, 3);
        g->addWidget(chkRegxCasse, 3, 0, 1, 2);
        g->addWidget(chkRegxTout, 3, 2);
        g->addWidget(cmdRepRegx, 4, 0, 1, 4, Qt::AlignRight);
        g->setRowStretch(5, 1);
    }
    tips->addWidget(tipFrames, 1);
    tips->addWidget(Label10);
    right->addLayout(tips, 1);

    columns->addLayout(right, 41);

    // Bottom: the Exif reader and the values of the last photograph read, then
    // the commands, rename last where the eye ends.
    auto *bottom = new QHBoxLayout;
    auto *exifGrid = new QGridLayout;
    lblExitToolUsed = label(central, QStringLiteral("lblExitToolUsed"));
    exifGrid->addWidget(lblExitToolUsed, 0, 0, 1, 2);
    for (int i = 0; i < 6; ++i) {
        auto *l = named<QLabel>(central, arrayName("lblExif", i));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A photograph's comment can be of any length: the values take the
        // room the commands leave and never widen the window.
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        lblExif.append(l);
        // Two a row: a date of shooting and a camera model need their width.
        exifGrid->addWidget(l, 1 + i / 2, i % 2);
    }
    exifGrid->setColumnStretch(0, 1);
    exifGrid->setColumnStretch(1, 1);
    bottom->addLayout(exifGrid, 1);
    cmdRenommer = button(central, "cmdRenommer");
    cmdRenommerStop = button(central, "cmdRenommerStop");
    cmdRenommerStop->setVisible(false);
    for (QPushButton *b : {cmdRenommer, cmdRenommerStop}) {
        b->setMinimumSize(150, 40);
        QFont f = b->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.2);
        b->setFont(f);
    }
    cmdOption = button(central, "cmdOption");
    cmdAbout = button(central, "cmdAbout");
    cmdAide = button(central, "cmdAide");
    cmdForum = button(central, "cmdForum");
    cmdQuitter = button(central, "cmdQuitter");
    // The other commands in two rows, as high as the Exif values beside them.
    auto *commands = new QGridLayout;
    const QPushButton *const others[] = {cmdOption, cmdAbout, cmdAide, cmdForum, cmdQuitter};
    for (int i = 0; i < 5; ++i)
        commands->addWidget(const_cast<QPushButton *>(others[i]), i / 3, i % 3);
    bottom->addLayout(commands);
    bottom->addSpacing(12);
    // Undo stands beside the rename it takes back.
    cmdHistorique = button(central, "cmdHistorique");
    cmdHistorique->setMinimumHeight(40);
    bottom->addWidget(cmdHistorique);
    cmdDefaire = button(central, "cmdDefaire");
    cmdDefaire->setMinimumHeight(40);
    bottom->addWidget(cmdDefaire);
    bottom->addWidget(cmdRenommer);
    bottom->addWidget(cmdRenommerStop);
    outer->addLayout(bottom);
}

} // namespace tarvello::mainwindow
