#include "dialogs/ui/frmOption.h"

#include "app/AppContext.h"
#include "common/Vb.h"
#include "common/Zub.h"
#include "common/ui/ZubDesktop.h"
#include "dialogs/HelpTopics.h"
#include "dialogs/ui/CHelp.h"
#include "dialogs/ui/frmChoixOutilExif.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvello::dialogs::ui {

namespace {

// The page list's entries, in the order of the frames.
constexpr int kPageMessages[] = {38, 24, 54, 22, 12, 44, 41, 90};
enum Page { LanguagePage, CharactersPage, AfterRenamePage, DatePage, ThumbnailPage, FolderPage, ExifPage, FilesPage };

template <typename T>
T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel *caption(QWidget *parent, const QString &name, QWidget *buddy)
{
    auto *label = named(new QLabel(parent), name);
    label->setBuddy(buddy);
    return label;
}

QTableWidget *editableList(QWidget *parent, const QString &name, int columns)
{
    auto *table = named(new QTableWidget(0, columns, parent), name);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                           | QAbstractItemView::AnyKeyPressed);
    return table;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

frmOption::frmOption(app::AppContext &context, lang::MsgBox &msgBox, CHelp *help, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_msgBox(msgBox)
    , m_help(help)
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("Options"));
    m_pages = named(new QListWidget(this), QStringLiteral("lstOptions"));
    m_frames = new QStackedWidget(this);
    QList<QWidget *> frames;
    for (int i = 0; i < int(std::size(kPageMessages)); ++i) {
        frames.append(named(new QWidget(m_frames), QStringLiteral("Frame1(%1)").arg(i)));
        m_frames->addWidget(frames.last());
    }

    // Language
    m_language = named(new QComboBox(frames[LanguagePage]), QStringLiteral("cboLangage"));
    m_translator = named(new QPushButton(frames[LanguagePage]), QStringLiteral("lblTraducteur"));
    m_translatorSite = named(new QPushButton(frames[LanguagePage]), QStringLiteral("lblSiteTraducteur"));
    for (QPushButton *link : {m_translator, m_translatorSite}) {
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        QPalette palette = link->palette();
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
        link->setPalette(palette);
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        link->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    }
    auto *languageLayout = new QFormLayout(frames[LanguagePage]);
    languageLayout->addRow(caption(frames[LanguagePage], QStringLiteral("lblLangage"), m_language), m_language);
    languageLayout->addRow(m_translator);
    languageLayout->addRow(m_translatorSite);

    // Forbidden characters and files
    m_characters = editableList(frames[CharactersPage], QStringLiteral("lstCharInterdit"), 2);
    auto *charactersLayout = new QVBoxLayout(frames[CharactersPage]);
    QLabel *charactersCaption = caption(frames[CharactersPage], QStringLiteral("lblCharInterdit"), m_characters);
    charactersCaption->setWordWrap(true);
    charactersLayout->addWidget(charactersCaption);
    charactersLayout->addWidget(m_characters);
    m_files = editableList(frames[FilesPage], QStringLiteral("lstFichierInterdit"), 1);
    auto *filesLayout = new QVBoxLayout(frames[FilesPage]);
    QLabel *filesCaption = caption(frames[FilesPage], QStringLiteral("lblFichierInterdit"), m_files);
    filesCaption->setWordWrap(true);
    filesLayout->addWidget(filesCaption);
    filesLayout->addWidget(m_files);

    // After a rename
    QWidget *after = frames[AfterRenamePage];
    auto *ruleBox = named(new QGroupBox(after), QStringLiteral("fraRegle"));
    auto *startBox = named(new QGroupBox(after), QStringLiteral("fraDebut"));
    auto *stepBox = named(new QGroupBox(after), QStringLiteral("fraPas"));
    auto *ruleLayout = new QVBoxLayout(ruleBox);
    for (int i = 0; i < 2; ++i)
        ruleLayout->addWidget(m_rule[i] = named(new QRadioButton(ruleBox), QStringLiteral("optRegle(%1)").arg(i)));
    m_startReset = named(new QLineEdit(startBox), QStringLiteral("txtDebut"));
    m_stepReset = named(new QLineEdit(stepBox), QStringLiteral("txtPas"));
    auto *startLayout = new QGridLayout(startBox);
    for (int i = 0; i < 3; ++i)
        startLayout->addWidget(m_start[i] = named(new QRadioButton(startBox), QStringLiteral("optDebut(%1)").arg(i)),
                               i, 0);
    startLayout->addWidget(m_startReset, 0, 1);
    auto *stepLayout = new QGridLayout(stepBox);
    for (int i = 0; i < 2; ++i)
        stepLayout->addWidget(m_step[i] = named(new QRadioButton(stepBox), QStringLiteral("optPas(%1)").arg(i)), i, 0);
    stepLayout->addWidget(m_stepReset, 0, 1);
    for (QLineEdit *field : {m_startReset, m_stepReset}) {
        field->setMaximumWidth(80);
        field->installEventFilter(this);
    }
    auto *afterLayout = new QVBoxLayout(after);
    afterLayout->addWidget(ruleBox);
    afterLayout->addWidget(startBox);
    afterLayout->addWidget(stepBox);
    afterLayout->addStretch(1);

    // Date formats
    m_year = named(new QComboBox(frames[DatePage]), QStringLiteral("cboYear"));
    m_month = named(new QComboBox(frames[DatePage]), QStringLiteral("cboMois"));
    auto *dateLayout = new QFormLayout(frames[DatePage]);
    dateLayout->addRow(caption(frames[DatePage], QStringLiteral("lblYear"), m_year), m_year);
    dateLayout->addRow(caption(frames[DatePage], QStringLiteral("lblMois"), m_month), m_month);

    // Thumbnails
    m_thumbnails = named(new QCheckBox(frames[ThumbnailPage]), QStringLiteral("chkFormatVignette"));
    m_thumbnailExtensions = named(new QLineEdit(frames[ThumbnailPage]), QStringLiteral("txtExtensionVignette"));
    m_thumbnailSize = named(new QComboBox(frames[ThumbnailPage]), QStringLiteral("cboVignette"));
    auto *thumbnailLayout = new QFormLayout(frames[ThumbnailPage]);
    thumbnailLayout->addRow(m_thumbnails);
    thumbnailLayout->addRow(caption(frames[ThumbnailPage], QStringLiteral("lblExtensionVignette"),
                                    m_thumbnailExtensions),
                            m_thumbnailExtensions);
    thumbnailLayout->addRow(caption(frames[ThumbnailPage], QStringLiteral("lblVignette"), m_thumbnailSize),
                            m_thumbnailSize);

    // Start folder
    m_folder = named(new QComboBox(frames[FolderPage]), QStringLiteral("cboDossier"));
    m_specificFolder = named(new QLineEdit(frames[FolderPage]), QStringLiteral("txtDossierSpecifique"));
    m_browse = named(new QPushButton(frames[FolderPage]), QStringLiteral("cmdDossierSpecifique"));
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_specificFolder, 1);
    folderRow->addWidget(m_browse);
    auto *folderLayout = new QFormLayout(frames[FolderPage]);
    folderLayout->addRow(caption(frames[FolderPage], QStringLiteral("lblDossier"), m_folder), m_folder);
    folderLayout->addRow(caption(frames[FolderPage], QStringLiteral("lblDossierSpecifique"), m_specificFolder),
                         folderRow);

    // Exif tools
    m_jhead = named(new QLineEdit(frames[ExifPage]), QStringLiteral("txtFormatJHead"));
    m_exiftool = named(new QLineEdit(frames[ExifPage]), QStringLiteral("txtFormatExifTool"));
    auto *exifChoice = named(new QPushButton(frames[ExifPage]), QStringLiteral("cmdExifTool"));
    auto *clearExif = named(new QPushButton(frames[ExifPage]), QStringLiteral("cmdEffacerExif"));
    auto *exifButtons = new QHBoxLayout;
    exifButtons->addWidget(exifChoice);
    exifButtons->addWidget(clearExif);
    exifButtons->addStretch(1);
    auto *exifLayout = new QFormLayout(frames[ExifPage]);
    exifLayout->addRow(caption(frames[ExifPage], QStringLiteral("lblFormatJHead"), m_jhead), m_jhead);
    exifLayout->addRow(caption(frames[ExifPage], QStringLiteral("lblFormatExifTool"), m_exiftool), m_exiftool);
    exifLayout->addRow(exifButtons);

    auto *ok = named(new QPushButton(this), QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = named(new QPushButton(this), QStringLiteral("cmdAnnuler"));
    auto *helpButton = named(new QPushButton(this), QStringLiteral("cmdAide"));
    auto *body = new QHBoxLayout;
    body->addWidget(m_pages);
    body->addWidget(m_frames, 1);
    m_pages->setFixedWidth(170);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(helpButton);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(640, 400);

    askReplacement = [this](const QString &prompt, const QString &current) -> std::optional<QString> {
        bool accepted = false;
        const QString answer =
            QInputDialog::getText(this, m_context.language.GetMessage(1), prompt, QLineEdit::Normal, current, &accepted);
        return accepted ? std::optional<QString>(answer) : std::nullopt;
    };
    chooseFolder = [this](const QString &prompt, const QString &current) {
        return QFileDialog::getExistingDirectory(this, prompt, current);
    };

    fill();
    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(ok, context.language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(cancel, context.language, QStringLiteral("annuler"));
        lang::ui::SetButtonImage(helpButton, context.language, QStringLiteral("aide"));
    }
    translate();

    connect(m_pages, &QListWidget::currentRowChanged, m_frames, &QStackedWidget::setCurrentIndex);
    connect(m_language, &QComboBox::activated, this, &frmOption::cboLangage_Click);
    connect(m_translatorSite, &QPushButton::clicked, this, [this] {
        common::ui::ZubOpenUrl(m_context.language.ReadLangKey(QStringLiteral("AUTHOR"), QStringLiteral("site"), {}));
    });
    connect(m_translator, &QPushButton::clicked, this, [this] {
        common::ui::ZubOpenMail(QStringLiteral("mailto:")
                                + m_context.language.ReadLangKey(QStringLiteral("AUTHOR"), QStringLiteral("email"), {}));
    });
    connect(m_folder, &QComboBox::currentIndexChanged, this, &frmOption::cboDossier_Click);
    connect(m_characters, &QTableWidget::itemChanged, this, &frmOption::lstCharInterdit_Changed);
    connect(m_files, &QTableWidget::itemChanged, this, &frmOption::lstFichierInterdit_Changed);
    connect(m_browse, &QPushButton::clicked, this, &frmOption::cmdDossierSpecifique_Click);
    connect(clearExif, &QPushButton::clicked, this, &frmOption::cmdEffacerExif_Click);
    connect(exifChoice, &QPushButton::clicked, this, [this] {
        // The choice is the chooser's own: Cancel here does not take it back.
        frmChoixOutilExif chooser(m_context, m_help, this);
        chooser.exec();
    });
    connect(helpButton, &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help->Show(HelpTopic::Options);
    });
    connect(ok, &QPushButton::clicked, this, &frmOption::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmOption::fill()
{
    const settings::Settings &s = m_context.settings;
    const OptionForm form = optionFormOf(s);
    m_filling = true;
    for (const lang::LanguageEntry &entry : m_context.language.availableLanguages())
        m_language->addItem(entry.displayName);
    m_language->setCurrentText(m_context.language.displayName());
    for (int i = 0; i < int(std::size(kPageMessages)); ++i)
        m_pages->addItem(QString());
    m_pages->setCurrentRow(0);

    m_characters->setRowCount(0);
    for (const settings::ForbiddenCharacterRow &row : form.forbiddenCharacters) {
        const int r = m_characters->rowCount();
        m_characters->insertRow(r);
        auto *characters = new QTableWidgetItem(row.characters);
        characters->setData(Qt::UserRole, row.characters);
        m_characters->setItem(r, 0, characters);
        auto *replacement = new QTableWidgetItem(row.replacement);
        // The replacement is asked for when the characters change.
        replacement->setFlags(replacement->flags() & ~Qt::ItemIsEditable);
        m_characters->setItem(r, 1, replacement);
    }
    appendEntryRow(m_characters);
    m_files->setRowCount(0);
    for (const QString &name : form.forbiddenFiles) {
        // The file's single empty name stands for an empty list.
        if (name.isEmpty() && form.forbiddenFiles.size() == 1)
            break;
        const int r = m_files->rowCount();
        m_files->insertRow(r);
        m_files->setItem(r, 0, new QTableWidgetItem(name));
    }
    appendEntryRow(m_files);

    m_rule[form.ruleMode]->setChecked(true);
    if (form.startMode >= 0 && form.startMode < 3)
        m_start[form.startMode]->setChecked(true);
    m_startReset->setText(form.startReset);
    m_step[form.stepMode]->setChecked(true);
    m_stepReset->setText(form.stepReset);
    m_thumbnails->setChecked(form.showThumbnails);
    m_thumbnailExtensions->setText(form.thumbnailExtensions);
    m_specificFolder->setText(form.startFolder == 2 ? form.specificFolder : QString());
    m_jhead->setText(form.jheadExtensions);
    m_exiftool->setText(form.exiftoolExtensions);
    m_filling = false;
}

void frmOption::translate()
{
    lang::Language &language = m_context.language;
    const OptionForm shown = form();
    m_filling = true;
    for (int i = 0; i < int(std::size(kPageMessages)); ++i)
        m_pages->item(i)->setText(lang::ui::widgetText(language.GetMessage(kPageMessages[i])));
    m_characters->setHorizontalHeaderLabels({language.GetMessage(24), language.GetMessage(25)});
    m_files->setHorizontalHeaderLabels({language.GetMessage(90)});

    const QDate today = QDate::currentDate();
    const QLocale locale = QLocale::system();
    const int year = m_year->count() ? m_year->currentIndex() : m_context.settings.Option_FormatAnnee;
    const int month = m_month->count() ? m_month->currentIndex() : m_context.settings.Option_FormatMois;
    m_year->clear();
    m_year->addItems({QString::number(today.year()), QStringLiteral("%1").arg(today.year() % 100, 2, 10, QLatin1Char('0'))});
    m_year->setCurrentIndex(year);
    m_month->clear();
    m_month->addItems({QString::number(today.month()),
                       QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0')),
                       locale.monthName(today.month(), QLocale::ShortFormat),
                       locale.monthName(today.month(), QLocale::LongFormat)});
    m_month->setCurrentIndex(month);

    const int size = m_thumbnailSize->count() ? shown.thumbnailSize : m_context.settings.Option_TailleVignette;
    m_thumbnailSize->clear();
    for (int message : {46, 47, 48})
        m_thumbnailSize->addItem(language.GetMessage(message));
    m_thumbnailSize->setCurrentIndex(size);
    const int folder = m_folder->count() ? shown.startFolder : m_context.settings.Option_DossierDepart;
    m_folder->clear();
    for (int message : {55, 56, 57})
        m_folder->addItem(language.GetMessage(message));
    m_folder->setCurrentIndex(qBound(0, folder, 2));
    m_filling = false;
    cboDossier_Click();

    const bool french = language.displayName() == QStringLiteral("Français");
    m_translator->setText(language.ReadLangKey(QStringLiteral("AUTHOR"), QStringLiteral("name"), {}));
    m_translatorSite->setText(language.ReadLangKey(QStringLiteral("AUTHOR"), QStringLiteral("siteMsg"), {}));
    for (QPushButton *link : {m_translator, m_translatorSite}) {
        link->setVisible(!french);
        link->setEnabled(!french);
    }
    lang::ui::TranslateForm(this, language);
}

OptionForm frmOption::form() const
{
    OptionForm form;
    form.yearFormat = m_year->currentIndex();
    form.monthFormat = m_month->currentIndex();
    for (int r = 0; r + 1 < m_characters->rowCount(); ++r)
        form.forbiddenCharacters.append({cellText(m_characters, r, 0), cellText(m_characters, r, 1)});
    for (int r = 0; r + 1 < m_files->rowCount(); ++r)
        form.forbiddenFiles.append(cellText(m_files, r, 0));
    form.ruleMode = m_rule[0]->isChecked() ? 0 : 1;
    form.startMode = -1;
    for (int i = 0; i < 3; ++i) {
        if (m_start[i]->isChecked())
            form.startMode = i;
    }
    form.startReset = m_startReset->text();
    form.stepMode = m_step[0]->isChecked() ? 0 : 1;
    form.stepReset = m_stepReset->text();
    form.showThumbnails = m_thumbnails->isChecked();
    form.thumbnailExtensions = m_thumbnailExtensions->text();
    form.thumbnailSize = qMax(0, m_thumbnailSize->currentIndex());
    form.startFolder = qMax(0, m_folder->findText(m_folder->currentText()));
    form.specificFolder = m_specificFolder->text();
    form.jheadExtensions = m_jhead->text();
    form.exiftoolExtensions = m_exiftool->text();
    return form;
}

void frmOption::appendEntryRow(QTableWidget *table)
{
    const bool filling = m_filling;
    m_filling = true;
    const int r = table->rowCount();
    table->insertRow(r);
    for (int c = 0; c < table->columnCount(); ++c) {
        auto *item = new QTableWidgetItem;
        if (c > 0)
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        table->setItem(r, c, item);
    }
    m_filling = filling;
}

void frmOption::cboLangage_Click()
{
    try {
        if (changeLanguage(m_context.settings, m_context.language, m_language->currentText()))
            lang::ui::retranslateOpenWindows();
    } catch (const common::VbError &error) {
        m_msgBox.ReportError(error, QStringLiteral("cboLangage_Click (Feuille frmOptions)"));
    }
}

void frmOption::cboDossier_Click()
{
    const bool specific = m_folder->currentIndex() == 2;
    m_specificFolder->setEnabled(specific);
    m_browse->setEnabled(specific);
}

void frmOption::lstCharInterdit_Changed(QTableWidgetItem *item)
{
    if (m_filling || item->column() != 0)
        return;
    const int row = item->row();
    const bool last = row == m_characters->rowCount() - 1;
    // What the row held before this edit, to put back when it is refused.
    const QString previous = item->data(Qt::UserRole).toString();
    if (item->text().isEmpty()) {
        if (last)
            return;
        if (askYesNo(26)) {
            m_characters->removeRow(row);
            return;
        }
        warn(lang::ui::widgetText(m_context.language.GetMessage(27)));
        m_filling = true;
        item->setText(previous);
        m_filling = false;
        return;
    }
    m_filling = true;
    item->setData(Qt::UserRole, item->text());
    m_filling = false;
    const std::optional<QString> answer =
        askReplacement(lang::ui::widgetText(m_context.language.GetMessage(28)), cellText(m_characters, row, 1));
    if (!answer || !isSingleCharacter(*answer)) {
        warn(lang::ui::widgetText(m_context.language.GetMessage(29)));
        return;
    }
    m_filling = true;
    m_characters->item(row, 1)->setText(*answer);
    m_filling = false;
    if (last)
        appendEntryRow(m_characters);
}

void frmOption::lstFichierInterdit_Changed(QTableWidgetItem *item)
{
    if (m_filling)
        return;
    const int row = item->row();
    const bool last = row == m_files->rowCount() - 1;
    if (!item->text().isEmpty()) {
        if (last)
            appendEntryRow(m_files);
        return;
    }
    if (!last && askYesNo(26))
        m_files->removeRow(row);
}

void frmOption::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        translate();
}

bool frmOption::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && (watched == m_startReset || watched == m_stepReset))
        counterLostFocus(static_cast<QLineEdit *>(watched));
    return QDialog::eventFilter(watched, event);
}

void frmOption::counterLostFocus(QLineEdit *field)
{
    if (common::vbIsNumeric(field->text()))
        return;
    field->setText(QStringLiteral("1"));
    warn(lang::ui::widgetText(m_context.language.GetMessage(13)));
}

void frmOption::cmdDossierSpecifique_Click()
{
    const QString folder =
        chooseFolder(lang::ui::widgetText(m_context.language.GetMessage(3)), m_specificFolder->text());
    if (!folder.isEmpty())
        m_specificFolder->setText(folder);
}

void frmOption::cmdEffacerExif_Click()
{
    if (!askYesNo(60))
        return;
    m_context.exifReader.clearCache();
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.GetMessage(61)), lang::MsgStyle::Information,
                         m_context.language.GetMessage(1));
}

void frmOption::cmdOK_Click()
{
    const OptionForm values = form();
    if (const std::optional<OptionProblem> problem = checkOptionForm(values, m_context.language)) {
        QWidget *field = nullptr;
        int page = 0;
        switch (problem->field) {
        case OptionField::StartReset:
            field = m_startReset;
            page = AfterRenamePage;
            break;
        case OptionField::StepReset:
            field = m_stepReset;
            page = AfterRenamePage;
            break;
        case OptionField::ForbiddenCharacters:
            field = m_characters;
            page = CharactersPage;
            m_characters->setCurrentCell(problem->row, 0);
            break;
        case OptionField::SpecificFolder:
            field = m_specificFolder;
            page = FolderPage;
            break;
        }
        m_pages->setCurrentRow(page);
        warn(lang::ui::widgetText(problem->text));
        field->setFocus();
        return;
    }
    if (applyOptionForm(values, m_context.settings, common::ZubCheminDossier(common::FolderDocuments))
        && thumbnailsChanged)
        thumbnailsChanged();
    m_context.exifReader.setExtensions(m_context.settings.Option_ExtensionTraiteAvecJHEAD,
                                       m_context.settings.Option_ExtensionTraiteAvecEXIFTOOL);
    if (fileCount && fileCount() > 0 && askYesNo(81) && updateNames)
        updateNames();
    accept();
}

bool frmOption::askYesNo(int message)
{
    return m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.GetMessage(message)),
                                lang::MsgStyle::Question + lang::MsgStyle::YesNo, m_context.language.GetMessage(1))
        == lang::MsgAnswer::Yes;
}

void frmOption::warn(const QString &text)
{
    m_msgBox.KVvrMesgBox(text, lang::MsgStyle::Exclamation, m_context.language.GetMessage(2));
}

} // namespace tarvello::dialogs::ui
