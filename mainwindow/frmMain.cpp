#include "mainwindow/frmMain.h"

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "browser/FolderTree.h"
#include "common/Zub.h"
#include "common/ui/Twips.h"
#include "dialogs/HelpTopics.h"
#include "exif/ExifReader.h"
#include "lang/MsgBox.h"
#include "rules/RuleTools.h"
#include "lang/ui/Translate.h"
#include "mainwindow/EventHook.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>

#include <utility>

namespace tarvello::mainwindow {

using common::ui::pixelsToTwips;
using common::ui::twipsToPixels;
using lang::ui::SetButtonImage;

namespace {

// Smallest window, in twips.
constexpr double kMinWidthTwips = 15240;
constexpr double kMinHeightTwips = 10600;

} // namespace

frmMain::frmMain(app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_msgBox(msgBox)
    , m_controller(context.settings, context.settingsFolder, context.language, *this, context.exifReader)
{
    m_tree = new browser::FolderTree(context.language);
    m_fileView = new browser::FileView(context.language);
    m_fileView->setFolderTree(m_tree);
    m_ui.setupUi(this, m_tree, m_fileView);
    m_ui.lstrename->setModel(&m_controller.files());
    setMinimumSize(twipsToPixels(kMinWidthTwips, this), twipsToPixels(kMinHeightTwips, this));

    connect(m_ui.lstAstuce, &QListWidget::currentRowChanged, this, &frmMain::showTipTopic);
    connectRuleOptions();
    connectFileList();
    connectRuleEdit();
    connectRenameCommands();
    connectPreview();
    connectNameColumns();
    connect(m_ui.cmdQuitter, &QPushButton::clicked, this, [this] {
        if (onQuitButton)
            onQuitButton();
    });
    connect(m_ui.cmdAide, &QPushButton::clicked, this, [this] {
        if (onHelp)
            onHelp(dialogs::HelpTopic::MainWindow);
    });
    connect(m_ui.cmdOption, &QPushButton::clicked, this, [this] { if (onOption) onOption(); });
    connect(m_ui.cmdAbout, &QPushButton::clicked, this, [this] {
        if (onAbout)
            onAbout();
    });

    context.exifReader.setEvents({
        .shown = [this](const exif::ExifInfo &info) { showExif(info); },
        .batchStartFailed =
            [this] {
                m_context.settings.Option_OutilExifChoisi = exif::ChoiceExifTool;
                m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.extra(QStringLiteral("ExifBatchStartFailed"))),
                                     lang::MsgStyle::OKOnly, m_context.language.GetMessage(1));
                showExifToolUsed();
            },
    });

    Form_Load();
}

frmMain::~frmMain()
{
    m_context.exifReader.setEvents({});
    // The controls go while the window's members that their events reach still exist.
    delete m_escapeHook;
    delete centralWidget();
}

QString frmMain::CurrentPath() const
{
    return m_tree->CurrentPath();
}

void frmMain::setCurrentPath(const QString &folder)
{
    m_tree->setCurrentPath(folder);
}

void frmMain::setPattern(const QString &pattern)
{
    m_fileView->setPattern(pattern);
}

void frmMain::Form_Load()
{
    showStoredRule();
    setButtonImages();
    // The Exif fields have their text before the translation, as at a later
    // change of language, so that their tooltips describe them alike.
    showExif(exif::ExifInfo());
    translate();
    m_ready = false;
}

// The counter boxes show the stored counter, not the text last typed in them.
void frmMain::showStoredRule()
{
    const settings::Settings &s = m_context.settings;
    // 1. The rule controls from the settings; the counter boxes show the stored counter.
    m_context.settings.rule.showStoredCounter();
    showRuleOptions();
    m_ui.txtNbPasse->setText(QStringLiteral("0"));
    m_ui.chkPreview->setChecked(s.General_VisualiserImage != 0);
    m_ui.chkRefresh->setChecked(s.General_MettreAJour != 0);
    colourRefreshBox();
    if (QRadioButton *caseOption = m_ui.optCasse.value(s.rule.caseIndex))
        caseOption->setChecked(true);
}

void frmMain::showRuleOptions()
{
    // Each box stores its own field as it changes, so the record is read first.
    const settings::RuleOptions rule = m_context.settings.rule;
    m_ui.txtDebut->setText(rule.startText);
    m_ui.txtPas->setText(rule.stepText);
    m_ui.chkExtension->setChecked(rule.changeExtension != 0);
    m_ui.txtExtension->setText(rule.newExtension);
    m_ui.txtExtension->setEnabled(m_ui.chkExtension->isChecked() && m_ui.chkExtension->isEnabled());
    m_ui.chkInterdit->setChecked(rule.replaceForbidden != 0);
    m_ui.chkAutoIncrement->setChecked(rule.numberIdentical != 0);
    m_ui.chkTrim->setChecked(rule.trimSpaces != 0);
    m_ui.chkUpperFirstChar->setChecked(rule.upperFirstChar != 0);
    m_ui.chkUpperCaseFirstWord->setChecked(rule.upperEachWord != 0);
}

void frmMain::setButtonImages()
{
    if (m_context.settings.General_AfficherImageBouton == 0)
        return;
    const lang::Language &language = m_context.language;
    const std::pair<QPushButton *, const char *> images[] = {
        {m_ui.cmdOption, "options"},      {m_ui.cmdAbout, "about"},          {m_ui.cmdAide, "manuel"},
        {m_ui.cmdQuitter, "quitter"},     {m_ui.cmdAdd, "ajouter"},          {m_ui.cmdAddAll, "tout_ajouter"},
        {m_ui.cmdDel, "retirer"},         {m_ui.cmdClear, "tout_retirer"},   {m_ui.cmdStopAction, "non"},
        {m_ui.cmdRefresh, "actualiser"},  {m_ui.cmdRefreshFolder, "actualiser"}, {m_ui.cmdForum, "forum"},
    };
    for (const auto &[button, role] : images)
        SetButtonImage(button, language, QLatin1String(role));
}

void frmMain::translate()
{
    lang::Language &language = m_context.language;
    m_tree->retranslate();
    m_fileView->retranslate();
    translateRenameCommands();
    translateRegexForm();
    translateSortControls();
    m_ui.Label2->setText(lang::ui::widgetText(language.GetMessage(18, QString::number(m_fileView->count()))));
    showEntryCount();
    conflictsCounted(m_controller.conflictCount());
    showComment(m_context.settings.rule.comment, m_context.settings.rule.extensionFilter);
    showExifToolUsed();
    lang::ui::TranslateForm(this, language);
    const int tip = m_ui.lstAstuce->currentRow();
    m_ui.lstAstuce->clear();
    for (int i = 0; i < m_ui.fAstuce.size(); ++i)
        m_ui.lstAstuce->addItem(lang::ui::widgetText(language.extra(QStringLiteral("TipTopic%1").arg(i))));
    m_ui.lstAstuce->setCurrentRow(tip);
    m_controller.files().setHeaders(language.GetMessage(14), language.GetMessage(15), language.extra(QStringLiteral("ConflictColumn")));
    m_controller.files().setNotTextMark(QLatin1Char(' ') + language.extra(QStringLiteral("ListNotTextMark")),
                                        lang::ui::widgetText(language.extra(QStringLiteral("ListNotTextTip"),
                                                                            QStringLiteral("%1"), QStringLiteral("%2"))));
    // In the order of the statuses the controller gives the rows.
    m_controller.files().setStatusTexts({language.extra(QStringLiteral("ConflictStatusInvalid")),
                                         language.extra(QStringLiteral("ConflictStatusForbidden")),
                                         language.extra(QStringLiteral("ConflictStatusDuplicate")),
                                         language.extra(QStringLiteral("ConflictStatusOnDisk")),
                                         language.extra(QStringLiteral("ConflictStatusBlocked"))});
    conflictsCounted(m_controller.conflictCount());
    // Parts that screen readers show without a caption of their own take one
    // from the texts around them: the rule box's text, the two stacks.
    m_ui.cboRenommer->lineEdit()->setAccessibleName(m_ui.cboRenommer->accessibleName());
    // Labels whose text changes are read by that text, their tooltip as
    // their description: a fixed name would hide the count, the comment or
    // the Exif fields of the file chosen.
    for (QLabel *label : QList<QLabel *>{m_ui.Label2, m_ui.Label4, m_ui.lblComment, m_ui.lblExitToolUsed} + m_ui.lblExif)
        label->setAccessibleName(QString());
    m_ui.fileViews->setAccessibleName(language.extra(QStringLiteral("BrowserViewName")));
    m_ui.tipFrames->setAccessibleName(m_ui.Label15->text());
    refreshTitle();
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_ready)
        Form_Activate();
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        translate();
}

void frmMain::Form_Activate()
{
    splitNameColumns();
    m_ready = true;
}

void frmMain::splitNameColumns()
{
    if (m_namesSizedByUser)
        return;
    // The two names share most of the width; the status column takes the rest.
    const int part = m_ui.lstrename->viewport()->width() * 2 / 5 - twipsToPixels(30, this);
    m_splittingNames = true;
    m_ui.lstrename->setColumnWidth(0, std::max(part, 40));
    m_ui.lstrename->setColumnWidth(1, std::max(part, 40));
    m_splittingNames = false;
}

void frmMain::connectNameColumns()
{
    // The names follow the list's width until the user sizes one by hand.
    new EventHook(m_ui.lstrename->viewport(), [this](QObject *, QEvent *event) {
        if (event->type() == QEvent::Resize && m_ready)
            splitNameColumns();
        return false;
    });
    connect(m_ui.lstrename->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (!m_splittingNames && section < 2)
            m_namesSizedByUser = true;
    });
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // An add still running ends after its current file.
    m_controller.requestStop();
    if (!m_closing && onQuitRequested) {
        m_closing = true;
        onQuitRequested();
    }
    event->accept();
}

void frmMain::objetOnOff()
{
    const controller::State state = m_controller.state();
    const bool on = state == controller::State::Idle;
    const bool showStop = state == controller::State::Adding;
    const bool renaming = m_controller.renaming();
    if (on)
        unsetCursor();
    else
        setCursor(Qt::WaitCursor);
    // Switching a control off takes its focus away; it comes back with the idle state.
    if (!on && !m_focusBeforeBusy)
        m_focusBeforeBusy = QApplication::focusWidget();
    QList<QWidget *> switched = {
        m_ui.cmdAdd, m_ui.cmdAddAll, m_ui.cmdStopAction, m_ui.cmdDel, m_ui.cmdClear, m_ui.cmdRefresh,
        m_ui.cmdUp, m_ui.cmdDown, m_ui.lblTri, m_ui.cboTri, m_ui.chkTriDecroissant, m_ui.cmdTrier, m_ui.chkRefresh, m_ui.txtFilter, m_fileView, m_tree, m_ui.chkPreview,
        m_ui.Frame1, m_ui.Frame2, m_ui.Frame3, m_ui.Frame5, m_ui.Label5, m_ui.Label6, m_ui.Label7, m_ui.Label9,
        m_ui.Label10, m_ui.Label15, m_ui.lblNbPasse, m_ui.cboRenommer, m_ui.cmdPrendrePlus,
        // The forget button follows its two neighbours: it changes the memorised rules as they do.
        m_ui.cmdPrendreMoins, m_ui.cmdPrendreSupprimer, m_ui.txtDebut, m_ui.txtPas, m_ui.chkExtension,
        m_ui.chkInterdit, m_ui.chkAutoIncrement, m_ui.chkTrim, m_ui.chkUpperFirstChar, m_ui.chkUpperCaseFirstWord,
        m_ui.txtNbPasse, m_ui.lstAstuce, m_ui.cmdEffacerExif, m_ui.txtRechercher, m_ui.txtRemplacer, m_ui.cmdRepStr,
        m_ui.txtRemplacerPos, m_ui.cmdRepPos, m_ui.lblRegxAide, m_ui.lblRegxMotif, m_ui.txtRegxMotif,
        m_ui.lblRegxRemplacer, m_ui.txtRegxRemplacer, m_ui.chkRegxCasse, m_ui.chkRegxTout, m_ui.cmdRepRegx, m_ui.cmdRenommer,
        m_ui.cmdRenommerStop, m_ui.cmdOption, m_ui.cmdAbout, m_ui.cmdQuitter, m_ui.cmdHistorique};
    for (const auto *group : {&m_ui.optCasse, &m_ui.optRepStr, &m_ui.optRepPos, &m_ui.optRepPosDebutFin})
        switched.append(QList<QWidget *>(group->begin(), group->end()));
    for (const auto *group : {&m_ui.lblRepStr, &m_ui.lblRepPos, &m_ui.lblRepPosDebutFin, &m_ui.Label8})
        switched.append(QList<QWidget *>(group->begin(), group->end()));
    switched.append(QList<QWidget *>(m_ui.txtRepPos.begin(), m_ui.txtRepPos.end()));
    switched.append(QList<QWidget *>(m_ui.fAstuce.begin(), m_ui.fAstuce.end()));
    for (QWidget *w : std::as_const(switched))
        w->setEnabled(on);
    m_ui.txtExtension->setEnabled(on && m_ui.chkExtension->isChecked());
    m_ui.cmdDefaire->setEnabled(on && m_controller.undoAvailable());
    m_ui.cmdStopAction->setVisible(showStop);
    if (showStop)
        m_ui.cmdStopAction->setEnabled(true);
    m_ui.cmdRenommer->setVisible(!renaming);
    m_ui.cmdRenommerStop->setVisible(renaming);
    if (renaming)
        m_ui.cmdRenommerStop->setEnabled(true);
    if (on) {
        // The replacement forms keep only their chosen fields on.
        showRepForms();
        const QPointer<QWidget> focus = std::exchange(m_focusBeforeBusy, nullptr);
        if (focus && focus->isEnabled() && focus->isVisible() && !focus->hasFocus())
            focus->setFocus();
    }
}

void frmMain::beginNames()
{
    m_controller.beginNames();
}

void frmMain::flushNames()
{
    m_controller.flushNames();
}

void frmMain::endNames()
{
    m_controller.endNames();
}

bool frmMain::affiche_nom(const QString &path)
{
    return m_controller.addName(path);
}

void frmMain::update_names()
{
    m_controller.recompute();
}

void frmMain::stateChanged(controller::State state)
{
    objetOnOff();
    // Busy from the click on: before its first file moves, a rename or an undo
    // checks the list or reads its record, plans, and writes its journal.
    QProgressBar *bar = m_ui.ProgressBar1;
    if (m_controller.renaming() && !bar->isVisible()) {
        bar->setRange(0, 0);
        bar->show();
        m_busyBar = true;
    } else if (state == controller::State::Idle && std::exchange(m_busyBar, false)) {
        bar->hide();
    }
}

bool frmMain::autoRefresh() const
{
    return m_ui.chkRefresh->isChecked();
}

void frmMain::tellPositionError(const QString &message)
{
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(message), lang::MsgStyle::Exclamation, m_context.language.GetMessage(2));
}

void frmMain::tellRunError(const QString &text)
{
    m_msgBox.systemMessage(text);
}

void frmMain::recomputeProgress(int done, int count)
{
    QProgressBar *bar = m_ui.ProgressBar1;
    if (count <= 1)
        return;
    if (done == 0) {
        bar->setRange(0, count);
        bar->show();
    }
    bar->setValue(done);
    if (done > 0)
        QCoreApplication::processEvents();
}

void frmMain::workEnded()
{
    m_ui.ProgressBar1->hide();
    showEntryCount();
}

void frmMain::namesEnded()
{
    const filelist::FileList &files = m_controller.files();
    if (files.count() > 0) {
        m_ui.lstrename->clearSelection();
        m_ui.lstrename->scrollTo(files.index(files.count() - 1, 0));
    }
}

void frmMain::addPaused(int done)
{
    if (done >= 0) {
        QProgressBar *bar = m_ui.ProgressBar1;
        // Files found beyond the count announced grow the bar.
        if (done > bar->maximum())
            bar->setMaximum(done);
        bar->setValue(done);
    }
    QCoreApplication::processEvents();
}

void frmMain::connectRuleOptions()
{
    settings::Settings &s = m_context.settings;
    // Each option box keeps its value in the rule record and, once the window
    // is ready, recomputes; while it loads or a memorised rule is applied the
    // boxes only store.
    const std::pair<QCheckBox *, qint32 *> boxes[] = {
        {m_ui.chkTrim, &s.rule.trimSpaces},
        {m_ui.chkUpperFirstChar, &s.rule.upperFirstChar},
        {m_ui.chkUpperCaseFirstWord, &s.rule.upperEachWord},
        {m_ui.chkAutoIncrement, &s.rule.numberIdentical},
        {m_ui.chkInterdit, &s.rule.replaceForbidden},
        {m_ui.chkExtension, &s.rule.changeExtension},
    };
    for (const auto &[box, field] : boxes) {
        connect(box, &QCheckBox::toggled, this, [this, box = box, field = field](bool checked) {
            *field = checked ? 1 : 0;
            if (box == m_ui.chkExtension)
                m_ui.txtExtension->setEnabled(checked && m_ui.chkExtension->isEnabled());
            if (m_ready)
                update_names();
        });
    }
    connect(m_ui.txtExtension, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_context.settings.rule.newExtension = text;
        if (!m_ready || !m_ui.chkExtension->isChecked())
            return;
        const int caret = m_ui.txtExtension->cursorPosition();
        const int selectionStart = m_ui.txtExtension->selectionStart();
        const int selectionLength = m_ui.txtExtension->selectionLength();
        update_names();
        m_ui.txtExtension->setFocus();
        if (selectionLength > 0)
            m_ui.txtExtension->setSelection(selectionStart, selectionLength);
        else
            m_ui.txtExtension->setCursorPosition(caret);
    });
    connect(m_ui.optCasseGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_context.settings.rule.caseIndex = id;
    });
    connect(m_ui.optCasseGroup, &QButtonGroup::idClicked, this, [this] {
        if (m_ready)
            update_names();
    });
    // The rule box and the counter boxes store what is typed in them; the
    // names follow once the rule is checked or the box is left.
    connect(m_ui.cboRenommer, &QComboBox::editTextChanged, this,
            [this](const QString &text) { m_context.settings.rule.rule = text; });
    const std::pair<QLineEdit *, QString *> counters[] = {{m_ui.txtDebut, &s.rule.startText},
                                                          {m_ui.txtPas, &s.rule.stepText}};
    for (const auto &[box, field] : counters)
        connect(box, &QLineEdit::textChanged, this, [field = field](const QString &text) { *field = text; });
    connect(m_ui.chkRefresh, &QCheckBox::toggled, this, [this](bool checked) {
        m_context.settings.General_MettreAJour = checked ? 1 : 0;
        colourRefreshBox();
        if (!checked || m_controller.files().count() == 0)
            return;
        QList<int> selected;
        for (const QModelIndex &index : m_ui.lstrename->selectionModel()->selectedRows())
            selected.append(index.row());
        update_names();
        selectRows(selected);
    });
}

void frmMain::selectRows(const QList<int> &rows)
{
    QItemSelection selection;
    for (const int row : rows) {
        if (row >= 0 && row < m_controller.files().count())
            selection.select(m_controller.files().index(row, 0), m_controller.files().index(row, m_controller.files().columnCount() - 1));
    }
    m_ui.lstrename->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        m_ui.lstrename->scrollTo(m_controller.files().index(rows.last(), 0));
}

void frmMain::showTipTopic(int index)
{
    if (index < 0 || index >= m_ui.fAstuce.size())
        return;
    m_ui.fAstuce[index]->setTitle(m_ui.lstAstuce->item(index)->text());
    m_ui.tipFrames->setCurrentIndex(index);
}

void frmMain::colourRefreshBox()
{
    m_ui.chkRefresh->setStyleSheet(m_ui.chkRefresh->isChecked() ? QStringLiteral("color: #00C000;")
                                                                 : QStringLiteral("color: #FF0000;"));
}

void frmMain::showEntryCount()
{
    m_ui.Label4->setText(lang::ui::widgetText(m_context.language.GetMessage(19, QString::number(m_controller.files().count()))));
}

void frmMain::conflictsCounted(int count)
{
    m_ui.lblConflits->setText(lang::ui::widgetText(m_context.language.extra(QStringLiteral("ConflictCount"), QString::number(count))));
    m_ui.lblConflits->setVisible(count > 0);
}

void frmMain::showComment(const QString &comment, const QString &filter)
{
    m_ui.lblComment->setText(rules::commentCaption(comment, filter));
}

void frmMain::refreshTitle()
{
    const settings::Settings &s = m_context.settings;
    setWindowTitle(QStringLiteral("Tarvello v%1 - %2")
                       .arg(m_context.version.text(),
                            lang::ui::widgetText(m_context.language.GetMessage(
                                77, QString::number(s.General_NombreFichierRenomme)))));
}

void frmMain::showExifToolUsed()
{
    lang::Language &language = m_context.language;
    int message = 74;
    switch (m_context.settings.Option_OutilExifChoisi) {
    case exif::ChoiceMixed: message = 78; break;
    case exif::ChoiceExifTool: message = 75; break;
    case exif::ChoiceExifToolBatch: message = 76; break;
    default: break;
    }
    const QString tool = m_context.settings.Option_OutilExifChoisi == exif::ChoiceBuiltin
        ? language.extra(QStringLiteral("ExifChoiceBuiltin"))
        : language.GetMessage(message);
    m_ui.lblExitToolUsed->setText(language.GetMessage(80) + QLatin1Char(' ') + tool);
}

void frmMain::showExif(const exif::ExifInfo &info)
{
    const std::pair<const char *, const QString *> values[] = {
        {"$d$=", &info.DateTaken}, {"$T$=", &info.FileSize},    {"$R$=", &info.Resolution},
        {"$O$=", &info.Orientation}, {"$K$=", &info.CameraModel}, {"$C$=", &info.Comment},
    };
    for (int i = 0; i < m_ui.lblExif.size(); ++i)
        m_ui.lblExif[i]->setText(QLatin1String(values[i].first) + *values[i].second);
}

void frmMain::pushSettings()
{
    const settings::Settings &s = m_context.settings;
    // Geometry is kept in twips; a window never smaller than its minimum. The
    // position is the frame's, as a title bar at the top of the screen needs.
    resize(std::max(twipsToPixels(s.General_FenetreLargeur, this), minimumWidth()),
           std::max(twipsToPixels(s.General_FenetreHauteur, this), minimumHeight()));
    move(twipsToPixels(s.General_PositionFenetreLeft, this), twipsToPixels(s.General_PositionFenetreTop, this));
    // The record follows the rule box, which filling the list changes.
    const QString rule = s.rule.rule;
    m_ui.cboRenommer->clear();
    for (const settings::RuleOptions &memorised : s.memorisedRules) {
        if (!memorised.rule.isEmpty())
            m_ui.cboRenommer->addItem(memorised.rule);
    }
    m_ui.cboRenommer->setCurrentText(rule);
    showComment(s.rule.comment, s.rule.extensionFilter);
    m_ui.txtFilter->setText(s.General_FiltreAffichage);
    setPattern(s.General_FiltreAffichage);
    setCurrentPath(s.Option_DossierSpecifique);
    for (int i = 0; i < m_ui.lstAstuce->count(); ++i) {
        if (m_ui.lstAstuce->item(i)->text() == s.RegleRenommage_Astuce)
            m_ui.lstAstuce->setCurrentRow(i);
    }
    if (s.RegleRenommage_optRepPos >= 0 && s.RegleRenommage_optRepPos < m_ui.optRepPos.size())
        m_ui.optRepPos[s.RegleRenommage_optRepPos]->setChecked(true);
    for (int i = 0; i < 4; ++i)
        m_ui.txtRepPos[i]->setText(s.RegleRenommage_txtRepPos[i]);
    if (s.RegleRenommage_optRepPosDebutFin >= 0 && s.RegleRenommage_optRepPosDebutFin < m_ui.optRepPosDebutFin.size())
        m_ui.optRepPosDebutFin[s.RegleRenommage_optRepPosDebutFin]->setChecked(true);
    m_ui.txtRemplacerPos->setText(s.RegleRenommage_txtRemplacerPos);
    if (s.RegleRenommage_optRepStr >= 0 && s.RegleRenommage_optRepStr < m_ui.optRepStr.size())
        m_ui.optRepStr[s.RegleRenommage_optRepStr]->setChecked(true);
    m_ui.txtRechercher->setText(s.RegleRenommage_RechercherChaine);
    m_ui.txtRemplacer->setText(s.RegleRenommage_RemplacerChaine);
}

void frmMain::pullSettings()
{
    settings::Settings &s = m_context.settings;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    const QPoint frame = normal.topLeft() - (geometry().topLeft() - pos());
    s.General_PositionFenetreTop = float(pixelsToTwips(frame.y(), this));
    s.General_PositionFenetreLeft = float(pixelsToTwips(frame.x(), this));
    s.General_FenetreHauteur = float(pixelsToTwips(normal.height(), this));
    s.General_FenetreLargeur = float(pixelsToTwips(normal.width(), this));
    s.General_FiltreAffichage = m_ui.txtFilter->text();
    s.General_VisualiserImage = m_ui.chkPreview->isChecked() ? 1 : 0;
    const QListWidgetItem *tip = m_ui.lstAstuce->currentItem();
    s.RegleRenommage_Astuce = tip ? tip->text() : QString();
    auto checkedIndex = [](const QList<QRadioButton *> &buttons) -> qint16 {
        for (int i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked())
                return qint16(i);
        }
        return -1;
    };
    s.RegleRenommage_optRepPos = checkedIndex(m_ui.optRepPos);
    s.RegleRenommage_optRepPosDebutFin = checkedIndex(m_ui.optRepPosDebutFin);
    s.RegleRenommage_optRepStr = checkedIndex(m_ui.optRepStr);
    for (int i = 0; i < 4; ++i)
        s.RegleRenommage_txtRepPos[i] = m_ui.txtRepPos[i]->text();
    s.RegleRenommage_txtRemplacerPos = m_ui.txtRemplacerPos->text();
    s.RegleRenommage_RechercherChaine = m_ui.txtRechercher->text();
    s.RegleRenommage_RemplacerChaine = m_ui.txtRemplacer->text();
}

} // namespace tarvello::mainwindow
