#pragma once

#include "common/NativePath.h"
#include "controller/MainController.h"
#include "mainwindow/MainWindowControls.h"
#include "rules/RuleCheck.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QListWidgetItem;
class QTimer;

namespace tarvello::browser {
class FileView;
class FolderTree;
}

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::exif {
struct ExifInfo;
}

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::filelist {
class PictureLoader;
}

namespace tarvello::rename {
class FileOps;
class RenameObserver;
struct CounterCapacity;
struct RecoveryReport;
struct SetAsideResult;
struct DamagedRecord;
struct RenamePlan;
struct RenameReport;
struct RenameRun;
struct UndoReport;
}

namespace tarvello::mainwindow {

// The program's main window: the folder browser, the list of files with their
// new names, the rule and its options, and the commands.
class frmMain : public QMainWindow, private controller::ControllerUi
{
    Q_OBJECT
public:
    frmMain(app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent = nullptr);
    ~frmMain() override;

    MainWindowControls &controls() { return m_ui; }
    controller::MainController &controller() { return m_controller; }
    filelist::FileList &fileList() { return m_controller.files(); }
    browser::FolderTree &TreeView1() { return *m_tree; }
    browser::FileView &ListView1() { return *m_fileView; }

    // The folder the folder tree shows (full path, no trailing separator).
    QString CurrentPath() const;
    // Opens the folder tree on a folder.
    void setCurrentPath(const QString &folder);
    // The display filter of the file view (space-separated patterns).
    void setPattern(const QString &pattern);

    // Fills the controls from the settings: geometry, rule and options, the
    // memorised rules, the replacement aids, the filter and start folder.
    void pushSettings();
    // Reads the window's state back into the settings before they are saved.
    void pullSettings();

    // Title: program name, version and the running total of renamed files.
    void refreshTitle();
    // The label that names the chosen Exif reader.
    void showExifToolUsed();
    // The six Exif labels: the values of the photograph read last.
    void showExif(const exif::ExifInfo &info);

    // Translates the window and sets the texts that come from messages.
    void translate();

    // Switches the controls to the controller's state: all on when idle;
    // while adding only the stop button acts, while renaming or undoing only
    // the rename stop button; anything else switches them all off.
    void objetOnOff();

    // Appends a row for the file, computes its new name from the rule and
    // options on the window and writes it into the row. The file's position in
    // the list is its counter index, so files come in list order. True only
    // after the $REPP position error (shown once): the caller stops adding.
    bool affiche_nom(const QString &path);

    // Recomputes every new name in list order, the identical-name table
    // emptied first. Does nothing while a recomputation runs or when the
    // automatic refresh box is off (the count label is still rewritten).
    void update_names();

    // Brackets a run of affiche_nom calls (an add of many files): they share
    // one reading of the rule and of the folders, and their rows reach the
    // list together at flushNames() and endNames(), not one by one.
    void beginNames();
    void flushNames();
    void endNames();

    // The table of new names seen since the last full recomputation.
    rules::IdenticalNameTable &identicalNames() { return m_controller.identicalNames(); }

    // Selects exactly these rows of the file list (0-based), the last scrolled into view.
    void selectRows(const QList<int> &rows);

    // Called when the user leaves: the quit confirmation (quitButton) or any
    // other way of closing the window; the owner saves and ends the program.
    std::function<void()> onQuitRequested;
    std::function<void()> onQuitButton;
    // Opens the help at a topic (cmdAide asks for the main window's topic).
    std::function<void(int topic)> onHelp;
    // Opens the about box (cmdAbout).
    std::function<void()> onAbout;
    std::function<void()> onOption;  // opens the options dialog (cmdOption)

    // The file list's operations (frmMain_FileList.cpp).

    // Adds every non-empty path of the list, in order, with no duplicate
    // test, in the frame of every add (busy state, progress, stop request).
    void addFromExplorer(const QStringList &paths);
    void addFromExplorer(const QList<common::NativePath> &paths);

    // True while the window is busy (an add, a recomputation, a rename):
    // input that would change the list is refused meanwhile.
    bool isBusy() const { return m_controller.busy(); }

    // Opens a web address in the user's browser (cmdForum); tests put their own.
    std::function<bool(const QString &url)> openUrl;

    // Makes the thumbnails again, at the size the options now give.
    void refreshThumbnails();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // A change of language translates the window again.
    void changeEvent(QEvent *event) override;

private:
    // The file list's operations (frmMain_FileList.cpp).
    class AddFrame;
    void connectFileList();
    void cmdAdd_Click();
    void cmdAddAll_Click();
    void mnuAddHieriachy_Click();
    void cmdDnD_OLEDragDrop(const QList<QByteArray> &paths);
    void cmdDel_Click();
    void cmdClear_Click();
    void cmdUp_Click();
    void cmdTrier_Click();
    // The captions of the sort controls, which come from EXTRA.
    void translateSortControls();
    void cmdDown_Click();
    void moveSelected(bool up);
    void dropEntry(int from, int to);
    void cmdStopAction_Click();
    void cmdEffacerExif_Click();
    // Reads the chosen photograph's Exif data, which the labels then show.
    void showSelectedExif(const QString &path);
    void txtFilter_Change();
    void cmdRefresh_Click();
    void Timer_Escape();
    void Timer_ListView1_count();
    void addFileViewNames(const QStringList &names, const QList<QByteArray> &bytes, bool byPath);
    QTimer *makeTimer(const char *name, int intervalMs, void (frmMain::*tick)());
    bool askYesNo(const QString &text);
    void tellNotText(const QStringList &paths);
    QList<int> selectedEntryRows() const;
    bool lstrenameViewportEvent(QEvent *event);
    void endEntryDrag();
    bool cmdDnDEvent(QEvent *event);
    // Rule editing aids (frmMain_RuleEdit.cpp).
    void connectRuleEdit();
    void checkRule(bool focusBack);
    void cboRenommer_Change();
    bool cboRenommerEvent(QEvent *event);
    void Timer_update();
    void Timer_cboRenommer();
    void fieldLostFocus(QObject *field);
    void showNotANumber();
    void txtDebut_LostFocus();
    void txtPas_LostFocus();
    void counterFieldLostFocus(QLineEdit *field, rules::CounterBox box);
    void showOutOfRange(rules::CounterBox box, const QString &typed);
    bool counterFieldsFit();
    void txtNbPasse_LostFocus();
    void txtRepPos_LostFocus(int index);
    // The memorised rules of the rule box's list.
    void cboRenommer_Click(int index);
    void cmdPrendrePlus_Click();
    void cmdPrendreMoins_Click();
    void cmdPrendreSupprimer_Click();
    void lblComment_DblClick();
    // Shows the current rule's counter and option boxes from the rule record.
    void showRuleOptions();
    void showRepForms();
    void cmdRepPos_Click();
    void cmdRepStr_Click();
    void cmdRepRegx_Click();
    // The captions of the regular-expression aid, which come from EXTRA.
    void translateRegexForm();
    bool tokenLabelEvent(int index, QEvent *event);
    void Label8_Click(int index);
    void Form_Load();
    void showStoredRule();
    void Form_Activate();
    // Shares the list's width between the two names, unless the user sized one.
    void splitNameColumns();
    void connectNameColumns();
    void setButtonImages();
    void connectRuleOptions();
    void showTipTopic(int index);
    void colourRefreshBox();
    void showComment(const QString &comment, const QString &filter);
    // Label4: the number of entries of the list (message 19).
    void showEntryCount();

    // What the controller asks of the window.
    void stateChanged(controller::State state) override;
    bool autoRefresh() const override;
    void tellPositionError(const QString &message) override;
    void tellRunError(const QString &text) override;
    void recomputeProgress(int done, int count) override;
    void workEnded() override;
    void namesEnded() override;
    void addPaused(int done) override;
    void addPlanned(int minimum, int count) override;
    bool askToAddFolders(int files, int folders) override;
    void tellRenameRefused(controller::RenameRefusal why) override;
    bool acceptNarrowCounter(const rename::CounterCapacity &capacity) override;
    bool reviewConflicts(const rename::RenamePlan &plan) override;
    std::unique_ptr<rename::RenameObserver> renameFrame(controller::State state) override;
    bool askUndo(int count) override;
    bool askRecovery() override;
    void tellRecovery(const rename::RecoveryReport &report) override;
    void tellCutShort(const rename::CutShortRun &run) override;
    bool askSetAside(const rename::DamagedRecord &record) override;
    void tellSetAside(const rename::SetAsideResult &result) override;
    void conflictsCounted(int count) override;

    app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    MainWindowControls m_ui;
    controller::MainController m_controller;
    browser::FolderTree *m_tree = nullptr;
    browser::FileView *m_fileView = nullptr;
    // Set at the first activation: from then on, changes of the rule controls recompute.
    bool m_ready = false;
    // A name column was sized by hand: the names no longer follow the list's width.
    bool m_namesSizedByUser = false;
    bool m_splittingNames = false;
    // The window is closing on the program's own request; no second quit.
    bool m_closing = false;
    // The control that had the focus when the window became busy, given it back after.
    QPointer<QWidget> m_focusBeforeBusy;

    // The file list's operations.
    QTimer *m_escapeTimer = nullptr;
    QObject *m_escapeHook = nullptr;
    bool m_escapePressed = false;
    QTimer *m_countTimer = nullptr;
    bool m_filterChangeSuppressed = false;
    // Drag of one entry inside the list: the entry dragged, the row under the
    // pointer. Set by a press on an entry; a row number only while the list
    // keeps its rows.
    bool m_dragging = false;
    int m_dragFrom = -1;
    int m_dragTarget = -1;
    QPoint m_dragPress;

    // Rule editing aids.
    QTimer *m_updateTimer = nullptr;
    QTimer *m_caretTimer = nullptr;
    // When the rule box was last changed; none while no change is pending.
    std::optional<QElapsedTimer> m_ruleEditStamp;
    // The rule box lost the focus to an operation that switched it off.
    bool m_ruleBoxTaken = false;
    // The rule when the box got the focus, then as last validated.
    QString m_lastRule;
    // The rule box's caret as last sampled and followed by the keys; -1 none.
    qint16 m_caret = -1;

    // The preview and the thumbnails (frmMain_Preview.cpp).
    void connectPreview();
    void chkPreview_Click();
    void chkVignette_Click();
    // Preview of the file chosen in the file view or the thumbnails.
    void ListView1_Click();
    // Shows the file's picture in the preview box; "" shows the stand-by picture.
    void previewFile(const QString &path);
    bool thumbnailsShown() const;
    QSize thumbnailSize() const;
    QPixmap standByPicture(const QString &fileName) const;
    const QPixmap &notAPictureThumbnail();
    // Makes the thumbnails follow the file view: another folder, a filter
    // or files changed on disk; anew makes every thumbnail again.
    void syncThumbnails(bool anew);

    filelist::PictureLoader *m_previewLoader = nullptr;
    filelist::PictureLoader *m_thumbnailLoader = nullptr;
    // The preview asked for last: any other that comes back is stale.
    quint64 m_previewTicket = 0;
    // The thumbnails still awaited, by ticket.
    QHash<quint64, QListWidgetItem *> m_thumbnailTickets;
    // The folder the thumbnails were made for.
    QString m_thumbnailFolder;
    QPixmap m_notAPicture;
    QSize m_notAPictureBox;

    // The rename operation, its stop and undo, and the recovery of a rename
    // cut short (frmMain_Rename.cpp).
public:
    // The rename button: drops the entries the rule leaves alone, checks the
    // counter's width, plans every path (making the folders new names ask
    // for), lets the user review the conflicts, renames the others in two
    // phases, resets the rule and counter as the options say and prepares
    // the further passes. A rename cut short that waits is offered first.
    void cmdRenommer_Click();
    // Asks message 20; Yes stops the running rename or undo before its next
    // file (the files already on their way still reach a name).
    void cmdRenommerStop_Click();
    // The undo command: asks, then gives the files of the last rename their
    // old names back and tells which could not.
    void cmdDefaire_Click();
    void cmdHistorique_Click();
    // When a rename cut short waits: asks whether to recover it now and, on
    // Yes, does and tells how it went; when its journal cannot be read, tells
    // which files it names and offers to set it aside instead. False when
    // none waits.
    bool offerRecovery();
    // Tells the run the last closing cut short, if any.
    void tellCutShortRun() { m_controller.tellCutShortRun(); }
    // True while a rename or an undo runs: the list must not change meanwhile.
    bool renameRunning() const { return m_controller.renaming(); }

private:
    class RenameSession;

    void connectRenameCommands();
    void translateRenameCommands();
    void renameTheList();
    void showRuleAfterRename(const rename::RuleAfterRename &after);
    void addFurtherPasses(const rename::RenamePlan &plan, const rename::RenameReport &report);
    void showRenameProblems(const rename::RenameRun &run);
    void closeIfAskedDuringRename();

    // The window was closed while a rename ran: it closes once the rename ends.
    bool m_closeAfterRename = false;
    // The bar shows busy because a rename or an undo runs.
    bool m_busyBar = false;
};

} // namespace tarvello::mainwindow
