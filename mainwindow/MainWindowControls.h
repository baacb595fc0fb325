#pragma once

#include <QList>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableView;
class QWidget;

namespace tarvello::mainwindow {

// Every control of the main window, named as the program and its language
// files name it. Elements of a control array are named "name(index)".
struct MainWindowControls {
    // Folder browser.
    QStackedWidget *fileViews = nullptr;      // ListView1 or its thumbnail twin ListView2
    QListWidget *ListView2 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtFilter = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdRefreshFolder = nullptr;
    QLabel *Label2 = nullptr;

    // File list.
    // A table: screen readers read its rows and columns as such.
    QTableView *lstrename = nullptr;
    // The sort of the list (the counter's order).
    QLabel *lblTri = nullptr;
    QComboBox *cboTri = nullptr;
    QCheckBox *chkTriDecroissant = nullptr;
    QPushButton *cmdTrier = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdAddAll = nullptr;
    QMenu *mnuPopup = nullptr;
    QAction *mnuAddHieriachy = nullptr;
    QPushButton *cmdDel = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    QPushButton *cmdDnD = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *lblConflits = nullptr; // "N conflicts" beside the count, hidden without any
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *cmdStopAction = nullptr;
    QCheckBox *chkRefresh = nullptr;
    QCheckBox *chkPreview = nullptr;
    QCheckBox *chkVignette = nullptr;
    QLabel *lblDradNDrop = nullptr;

    // Rule.
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame5 = nullptr;
    QLabel *Label5 = nullptr;
    QComboBox *cboRenommer = nullptr;
    QPushButton *cmdPrendrePlus = nullptr;
    QPushButton *cmdPrendreMoins = nullptr;
    QPushButton *cmdPrendreSupprimer = nullptr;
    QLabel *lblComment = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *txtDebut = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *txtPas = nullptr;
    QLabel *lblNbPasse = nullptr;
    QLineEdit *txtNbPasse = nullptr;
    QCheckBox *chkExtension = nullptr;
    QLineEdit *txtExtension = nullptr;
    QCheckBox *chkInterdit = nullptr;
    QCheckBox *chkAutoIncrement = nullptr;
    QCheckBox *chkTrim = nullptr;
    QCheckBox *chkUpperFirstChar = nullptr;
    QCheckBox *chkUpperCaseFirstWord = nullptr;
    QLabel *Label9 = nullptr;
    QList<QRadioButton *> optCasse;
    QButtonGroup *optCasseGroup = nullptr;

    // Tips: the topic list and one frame per topic with its token labels.
    QLabel *Label15 = nullptr;
    QListWidget *lstAstuce = nullptr;
    QLabel *Label10 = nullptr;
    QStackedWidget *tipFrames = nullptr;
    QList<QGroupBox *> fAstuce;
    QList<QLabel *> Label8;

    // Replacement aids (tip frames 4, 5 and 6).
    QLabel *lblRechercher = nullptr;
    QLineEdit *txtRechercher = nullptr;
    QLabel *lblRemplacer = nullptr;
    QLineEdit *txtRemplacer = nullptr;
    QList<QRadioButton *> optRepStr;
    QList<QLabel *> lblRepStr;
    QPushButton *cmdRepStr = nullptr;
    QList<QRadioButton *> optRepPos;
    QList<QLabel *> lblRepPos;
    QList<QLineEdit *> txtRepPos;
    QList<QRadioButton *> optRepPosDebutFin;
    QList<QLabel *> lblRepPosDebutFin;
    QLabel *lblRemplacerPos = nullptr;
    QLineEdit *txtRemplacerPos = nullptr;
    QPushButton *cmdRepPos = nullptr;
    // The regular-expression aid (tip frame 6).
    QLabel *lblRegxAide = nullptr;
    QLabel *lblRegxMotif = nullptr;
    QLineEdit *txtRegxMotif = nullptr;
    QLabel *lblRegxRemplacer = nullptr;
    QLineEdit *txtRegxRemplacer = nullptr;
    QCheckBox *chkRegxCasse = nullptr;
    QCheckBox *chkRegxTout = nullptr;
    QPushButton *cmdRepRegx = nullptr;

    // Exif (tip frame 3) and preview.
    QPushButton *cmdEffacerExif = nullptr;
    QList<QLabel *> lblExif;
    QLabel *lblExitToolUsed = nullptr;
    QLabel *picturePreview = nullptr;

    // Commands.
    QPushButton *cmdRenommer = nullptr;
    QPushButton *cmdRenommerStop = nullptr;
    QPushButton *cmdDefaire = nullptr;
    QPushButton *cmdHistorique = nullptr;
    QPushButton *cmdOption = nullptr;
    QPushButton *cmdAbout = nullptr;
    QPushButton *cmdAide = nullptr;
    QPushButton *cmdForum = nullptr;
    QPushButton *cmdQuitter = nullptr;

    // Builds every control into the window, laid out left to right: where the
    // files are, which files, what they become. tree and fileView are the
    // folder browser's controls (named TreeView1 and ListView1 here).
    void setupUi(QMainWindow *window, QWidget *tree, QWidget *fileView);
};

// Which tip frame holds each token label (by label index).
int tipFrameOfToken(int labelIndex);

} // namespace tarvello::mainwindow
