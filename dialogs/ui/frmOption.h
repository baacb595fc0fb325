#pragma once

#include "dialogs/OptionChecks.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QTableWidgetItem;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::dialogs::ui {

class CHelp;

// The options dialog: the program-wide options of the settings, one page per
// subject. The language applies as soon as it is chosen; every other change
// reaches the settings only through cmdOK, after its checks, and cmdAnnuler
// drops it. A new language reaches every open window at once.
class frmOption : public QDialog
{
    Q_OBJECT
public:
    frmOption(app::AppContext &context, lang::MsgBox &msgBox, CHelp *help, QWidget *parent = nullptr);

    // What the main window gives the dialog: the number of files in its list
    // and its recomputation of every new name (update_names).
    std::function<int()> fileCount;
    std::function<void()> updateNames;
    // Called after cmdOK changed what the thumbnails show (on, extensions or
    // size), so the main window redraws them.
    std::function<void()> thumbnailsChanged;

    // The input box that asks a row's replacement character (nullopt when
    // cancelled), and the folder picker (empty when cancelled); tests put
    // their own.
    std::function<std::optional<QString>(const QString &prompt, const QString &current)> askReplacement;
    std::function<QString(const QString &prompt, const QString &current)> chooseFolder;

    // The controls as they stand, in the form the checks read.
    OptionForm form() const;

private:
    void fill();
    void translate();
    void cboLangage_Click();
    void cboDossier_Click();
    void lstCharInterdit_Changed(QTableWidgetItem *item);
    void lstFichierInterdit_Changed(QTableWidgetItem *item);
    void counterLostFocus(QLineEdit *field);
    void cmdDossierSpecifique_Click();
    void cmdEffacerExif_Click();
    void cmdOK_Click();
    bool askYesNo(int message);
    void warn(const QString &text);
    void appendEntryRow(QTableWidget *table);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

    app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    CHelp *m_help;
    // An edit made by the dialog itself, not to be handled as the user's.
    bool m_filling = false;
    QListWidget *m_pages = nullptr;
    QStackedWidget *m_frames = nullptr;
    QComboBox *m_language = nullptr;
    QPushButton *m_translator = nullptr;
    QPushButton *m_translatorSite = nullptr;
    QTableWidget *m_characters = nullptr;
    QTableWidget *m_files = nullptr;
    QRadioButton *m_rule[2] = {};
    QRadioButton *m_start[3] = {};
    QRadioButton *m_step[2] = {};
    QLineEdit *m_startReset = nullptr;
    QLineEdit *m_stepReset = nullptr;
    QComboBox *m_year = nullptr;
    QComboBox *m_month = nullptr;
    QCheckBox *m_thumbnails = nullptr;
    QLineEdit *m_thumbnailExtensions = nullptr;
    QComboBox *m_thumbnailSize = nullptr;
    QComboBox *m_folder = nullptr;
    QLineEdit *m_specificFolder = nullptr;
    QPushButton *m_browse = nullptr;
    QLineEdit *m_jhead = nullptr;
    QLineEdit *m_exiftool = nullptr;
};

} // namespace tarvello::dialogs::ui
