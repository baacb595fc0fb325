#include "dialogs/ui/frmChoixOutilExif.h"

#include "app/AppContext.h"
#include "dialogs/HelpTopics.h"
#include "dialogs/ui/CHelp.h"
#include "lang/ui/Translate.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace tarvello::dialogs::ui {

namespace {

QLabel *label(QWidget *parent, const QString &name, const QString &text)
{
    auto *l = new QLabel(lang::ui::widgetText(text), parent);
    l->setObjectName(name);
    l->setWordWrap(true);
    return l;
}

} // namespace

frmChoixOutilExif::frmChoixOutilExif(app::AppContext &context, CHelp *help, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
{
    setObjectName(QStringLiteral("frmChoixOutilExif"));
    lang::Language &language = context.language;
    auto message = [&language](int number) { return language.GetMessage(number); };

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label(this, QStringLiteral("Label1"), message(62) + message(63)));
    for (int i = 0; i < 4; ++i)
        layout->addWidget(label(this, QStringLiteral("Label%1").arg(2 + i), message(64 + i)));
    layout->addWidget(label(this, QStringLiteral("lblBuiltin"), language.extra(QStringLiteral("ExifChooserBuiltin"))));
    layout->addWidget(label(this, QStringLiteral("Label6"), message(68) + message(69)));

    // Where each external tool was found, so that a missing one shows before it is chosen.
    auto *tools = new QGridLayout;
    const QString names[] = {QStringLiteral("jhead"), QStringLiteral("exiftool")};
    for (int i = 0; i < 2; ++i) {
        const QString found = context.exifReader.toolPath(names[i]);
        tools->addWidget(label(this, QStringLiteral("Label8(%1)").arg(i), message(71 + i)), i, 0);
        tools->addWidget(label(this, QStringLiteral("lblOutil(%1)").arg(i),
                               found.isEmpty() ? language.extra(QStringLiteral("ExifToolMissing"))
                                               : language.extra(QStringLiteral("ExifToolFound"), found)),
                         i, 1);
    }
    tools->setColumnStretch(1, 1);
    layout->addLayout(tools);

    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("cboChoix"));
    const std::pair<int, QString> entries[] = {
        {exif::ChoiceJhead, message(74)},          {exif::ChoiceMixed, message(78)},
        {exif::ChoiceExifTool, message(75)},       {exif::ChoiceExifToolBatch, message(76)},
        {exif::ChoiceBuiltin, language.extra(QStringLiteral("ExifChoiceBuiltin"))},
    };
    for (const auto &[choice, text] : entries)
        m_choice->addItem(text, choice);
    // Nothing chosen yet: the built-in reader, which needs no other program.
    const int current = context.settings.Option_OutilExifChoisi;
    m_choice->setCurrentIndex(m_choice->findData(current == exif::ChoiceNone ? int(exif::ChoiceBuiltin) : current));
    QLabel *caption = label(this, QStringLiteral("Label7"), message(70));
    caption->setWordWrap(false);
    caption->setBuddy(m_choice);
    auto *choiceRow = new QHBoxLayout;
    choiceRow->addWidget(caption);
    choiceRow->addWidget(m_choice, 1);
    layout->addLayout(choiceRow);
    layout->addWidget(label(this, QStringLiteral("Label9"), message(73)));
    layout->addWidget(label(this, QStringLiteral("Label10"), message(79)));

    auto *cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto *cmdAide = new QPushButton(QStringLiteral("&Aide"), this);
    cmdAide->setObjectName(QStringLiteral("cmdAide"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdAide);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &frmChoixOutilExif::cmdOK_Click);
    connect(cmdAide, &QPushButton::clicked, this, [help] {
        if (help)
            help->Show(HelpTopic::ExifTool);
    });

    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(cmdOK, language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(cmdAide, language, QStringLiteral("aide"));
    }
    lang::ui::TranslateForm(this, language);
    // The explanations wrap at a width that keeps the window readable, and
    // the window is as tall as they are then.
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
    resize(minimumWidth(), layout->totalHeightForWidth(minimumWidth()));
}

int frmChoixOutilExif::shownChoice() const
{
    return m_choice->currentData().toInt();
}

void frmChoixOutilExif::cmdOK_Click()
{
    exif::ExifReader &reader = m_context.exifReader;
    reader.stopBatch();
    reader.setChoice(shownChoice());
    m_context.settings.Option_OutilExifChoisi = shownChoice();
    // A batch that cannot start has told why and left exiftool standard mode.
    if (shownChoice() == exif::ChoiceExifToolBatch) {
        reader.startBatch();
        m_context.settings.Option_OutilExifChoisi = reader.choice();
    }
    QSettings(QStringLiteral("Tarvello"), QStringLiteral("Tarvello"))
        .setValue(QStringLiteral("Options/GLOutilExifChoisi"), QString::number(m_context.settings.Option_OutilExifChoisi));
    accept();
}

} // namespace tarvello::dialogs::ui
