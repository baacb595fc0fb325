#include "app/AppContext.h"
#include "common/Cp1252.h"
#include "dialogs/ui/CHelp.h"
#include "dialogs/ui/frmChoixOutilExif.h"
#include "dialogs/ui/frmOption.h"
#include "lang/ui/Translate.h"
#include "mainwindow/frmMain.h"
#include "settings/SettingsFile.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

using namespace tarvello;
using dialogs::OptionForm;
using dialogs::optionFormOf;
using dialogs::ui::frmOption;

namespace {

// The program's own language files and a message box that answers as told.
struct OptionFixture {
    explicit OptionFixture(const QString &languageName = QStringLiteral("English"))
    {
        context.programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        context.settings.General_AfficherImageBouton = 0;
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(languageName);
    }

    QString message(int number) { return context.language.GetMessage(number).replace(QStringLiteral("\r\n"), "\n"); }

    app::AppContext context;
    test::ScriptedMsgBox box;
};

template <typename T>
T *child(QWidget *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// Types a cell's text as the user does, which the list sees as a change.
void typeCell(QTableWidget *table, int row, int column, const QString &text)
{
    table->item(row, column)->setText(text);
}

// The texts of a shipped language file that only it holds: whole values
// (with and without their mnemonic "&"), and the fixed parts of values with
// parameters, which a window shows around its numbers.
struct LanguageTexts {
    QSet<QString> whole;
    QStringList parts;
};

QString withoutMnemonic(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&')).replace(
        QStringLiteral("\x01"), QStringLiteral("&"));
}

LanguageTexts languageTexts(const QString &baseName)
{
    QFile file(QStringLiteral(TARVELLO_SOURCE_DIR "/langages/") + baseName + QStringLiteral(".lng"));
    LanguageTexts texts;
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    QString section;
    for (QString line : common::decodeCp1252(file.readAll()).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QLatin1Char('['))) {
            section = line;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        // The language's and translator's names are shown in every language.
        if (equals < 0 || section == QLatin1String("[LANGUAGE]") || section == QLatin1String("[AUTHOR]"))
            continue;
        QString value = line.mid(equals + 1).replace(QLatin1Char('|'), QLatin1Char('\n'));
        if (value.startsWith(QLatin1Char('_')))
            value[0] = QLatin1Char(' ');
        if (value.endsWith(QLatin1Char('_')))
            value[value.size() - 1] = QLatin1Char(' ');
        if (value.contains(QStringLiteral("%s"))) {
            for (const QString &part : value.split(QStringLiteral("%s"))) {
                if (part.trimmed().size() >= 6)
                    texts.parts.append(part);
            }
        } else if (!value.trimmed().isEmpty()) {
            texts.whole.insert(value);
            texts.whole.insert(withoutMnemonic(value).simplified());
        }
    }
    return texts;
}

// Every text a window shows or names for screen readers, with the control it is on.
QList<std::pair<QString, QString>> shownTexts(QWidget *window)
{
    QList<std::pair<QString, QString>> texts;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : std::as_const(widgets)) {
        const QString name = w->objectName();
        QStringList own = {w->toolTip(), w->accessibleName(), w->accessibleDescription()};
        if (w->isWindow())
            own.append(w->windowTitle());
        if (auto *label = qobject_cast<QLabel *>(w))
            own.append(label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            own.append(button->text());
        if (auto *box = qobject_cast<QGroupBox *>(w))
            own.append(box->title());
        // The rule box lists rules and the language box the languages' own names.
        auto *combo = qobject_cast<QComboBox *>(w);
        if (combo && name != QLatin1String("cboRenommer") && name != QLatin1String("cboLangage")) {
            for (int i = 0; i < combo->count(); ++i)
                own.append(combo->itemText(i));
        }
        if (auto *list = qobject_cast<QListWidget *>(w)) {
            for (int i = 0; i < list->count(); ++i)
                own.append(list->item(i)->text());
        }
        if (auto *header = qobject_cast<QHeaderView *>(w); header && header->model()) {
            for (int i = 0; i < header->count(); ++i)
                own.append(header->model()->headerData(i, header->orientation()).toString());
        }
        for (const QAction *action : w->actions())
            own << action->text() << action->toolTip();
        for (const QString &text : std::as_const(own)) {
            if (!text.isEmpty())
                texts.append({name, text});
        }
    }
    return texts;
}

// The texts of the open windows that come from the other language's file.
QStringList textsOfTheOtherLanguage(const QString &current, const QString &other)
{
    const LanguageTexts mine = languageTexts(current);
    LanguageTexts theirs = languageTexts(other);
    theirs.whole.subtract(mine.whole);
    // A part that this language writes too ("Tarvello ") tells nothing.
    const QStringList mineAll = QStringList(mine.whole.cbegin(), mine.whole.cend()) + mine.parts;
    theirs.parts.removeIf([&mineAll](const QString &part) {
        return std::any_of(mineAll.cbegin(), mineAll.cend(), [&part](const QString &text) { return text.contains(part); });
    });
    QStringList found;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        for (const auto &[name, text] : shownTexts(window)) {
            const QString plain = withoutMnemonic(text).simplified();
            bool foreign = theirs.whole.contains(text) || theirs.whole.contains(plain);
            for (const QString &part : std::as_const(theirs.parts)) {
                if (text.contains(part))
                    foreign = true;
            }
            if (foreign)
                found.append(window->objectName() + QLatin1Char('.') + name + QStringLiteral(": ") + text);
        }
    }
    return found;
}

} // namespace

class tst_option : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Changed in the dialog, confirmed, saved at exit and read at the next
    // start: the options come back as they were confirmed.
    void okWritesTheOptionsAndTheyOutliveARestart()
    {
        OptionFixture f;
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        frmOption dialog(f.context, f.box, nullptr);
        child<QLineEdit>(&dialog, "txtDebut")->setText("7");
        child<QAbstractButton>(&dialog, "optRegle(0)")->click();
        child<QAbstractButton>(&dialog, "optDebut(2)")->click();
        child<QComboBox>(&dialog, "cboMois")->setCurrentIndex(3);
        child<QComboBox>(&dialog, "cboDossier")->setCurrentIndex(2);
        child<QLineEdit>(&dialog, "txtDossierSpecifique")->setText(folder.path());
        child<QLineEdit>(&dialog, "txtFormatJHead")->setText("jpg heic");
        auto *files = child<QTableWidget>(&dialog, "lstFichierInterdit");
        typeCell(files, files->rowCount() - 1, 0, "Index.été");
        child<QComboBox>(&dialog, "cboVignette")->setCurrentIndex(2);
        int redrawn = 0;
        dialog.thumbnailsChanged = [&redrawn] { ++redrawn; };
        const OptionForm confirmed = dialog.form();

        child<QAbstractButton>(&dialog, "cmdOK")->click();
        QCOMPARE(redrawn, 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(f.box.shown.isEmpty());
        const settings::Settings &s = f.context.settings;
        QCOMPARE(s.Option_RegleDebutResetRenommage, 7);
        QCOMPARE(s.Option_RegleApresRenommage, 0);
        QCOMPARE(s.Option_RegleDebutApresRenommage, 2);
        QCOMPARE(s.Option_FormatMois, 3);
        QCOMPARE(s.Option_DossierSpecifique, folder.path());
        QCOMPARE(s.Option_ExtensionTraiteAvecJHEAD, "JPG HEIC");
        QCOMPARE(s.forbiddenFiles.last(), "Index.été");

        ini::IniFile file(folder.filePath("Tarvello.ini"));
        QVERIFY(settings::writeSettingsFile(file, s, folder.path()));
        settings::Settings restarted;
        const settings::SettingsLoadResult loaded =
            settings::readSettingsFile(ini::IniFile(file.path()), restarted, f.context.language, folder.path());
        QVERIFY(!loaded.error);
        QCOMPARE(optionFormOf(restarted), optionFormOf(s));
        QCOMPARE(optionFormOf(restarted).forbiddenFiles, confirmed.forbiddenFiles);
    }

    // A language chosen in the dialog reaches every open window at once, the
    // rule's default comment with it; the tip topic shown stays.
    void aNewLanguageReachesEveryOpenWindow()
    {
        OptionFixture f(QStringLiteral("Français"));
        f.context.settings.rule.comment = f.context.language.GetMessage(95);
        mainwindow::frmMain main(f.context, f.box);
        main.pushSettings();
        main.show();
        auto &ui = main.controls();
        ui.lstAstuce->setCurrentRow(3);
        dialogs::ui::CHelp help(f.context, f.box);
        help.Show();
        QVERIFY(help.window() && help.window()->isVisible());
        frmOption dialog(f.context, f.box, &help, &main);
        dialog.show();
        auto *languages = child<QComboBox>(&dialog, "cboLangage");

        const struct {
            QString name;
            QString file;
            QString other;
        } steps[] = {{QStringLiteral("English"), QStringLiteral("English"), QStringLiteral("Francais")},
                     {QStringLiteral("Français"), QStringLiteral("Francais"), QStringLiteral("English")}};
        for (const auto &step : steps) {
            languages->setCurrentIndex(languages->findText(step.name));
            emit languages->activated(languages->currentIndex());
            QCOMPARE(f.context.settings.Langage_LangueUtilisee, step.name);
            const QStringList foreign = textsOfTheOtherLanguage(step.file, step.other);
            QVERIFY2(foreign.isEmpty(), qPrintable(foreign.join(QLatin1Char('\n'))));
            QCOMPARE(ui.lblComment->text(), f.context.language.GetMessage(95) + QStringLiteral(" (*)"));
            QCOMPARE(ui.lstAstuce->currentRow(), 3);
            QVERIFY(help.window()->browser()->source().path().endsWith(step.file + QStringLiteral("/Tarvello.html")));
        }
        QVERIFY(f.box.shown.isEmpty());
    }

    // Every control a user reaches reads a name to screen readers, in both languages.
    void everyControlHasAnAccessibleName_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("fr") << QStringLiteral("Français");
        QTest::newRow("en") << QStringLiteral("English");
    }
    void everyControlHasAnAccessibleName()
    {
        QFETCH(QString, language);
        OptionFixture f(language);
        frmOption dialog(f.context, f.box, nullptr);
        dialogs::ui::frmChoixOutilExif chooser(f.context, nullptr);
        QStringList unnamed;
        int checked = 0;
        const QList<QWidget *> controls = dialog.findChildren<QWidget *>() + chooser.findChildren<QWidget *>();
        for (QWidget *w : controls) {
            const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractItemView *>(w);
            if (!control || w->objectName().isEmpty())
                continue;
            ++checked;
            if (w->accessibleName().trimmed().isEmpty())
                unnamed.append(w->objectName());
        }
        QVERIFY(checked > 0);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QVERIFY(dialog.windowTitle() != QStringLiteral("Options"));
        QVERIFY(!chooser.windowTitle().isEmpty());
    }
};

QTEST_MAIN(tst_option)
#include "tst_option.moc"
