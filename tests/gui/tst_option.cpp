#include "app/AppContext.h"
#include "dialogs/ui/frmChoixOutilExif.h"
#include "dialogs/ui/frmOption.h"
#include "settings/SettingsFile.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
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
        const OptionForm confirmed = dialog.form();

        child<QAbstractButton>(&dialog, "cmdOK")->click();
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

    void cancelChangesNothing()
    {
        OptionFixture f;
        const OptionForm before = optionFormOf(f.context.settings);
        frmOption dialog(f.context, f.box, nullptr);
        child<QLineEdit>(&dialog, "txtPas")->setText("9");
        child<QAbstractButton>(&dialog, "optPas(0)")->click();
        child<QComboBox>(&dialog, "cboVignette")->setCurrentIndex(2);
        auto *files = child<QTableWidget>(&dialog, "lstFichierInterdit");
        typeCell(files, files->rowCount() - 1, 0, "x.db");
        child<QAbstractButton>(&dialog, "cmdAnnuler")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(optionFormOf(f.context.settings), before);
    }

    // A value the settings cannot take gets its message, the page that holds
    // it, and the dialog stays open with nothing written.
    void invalidValueKeepsTheDialogOpen()
    {
        OptionFixture f;
        const OptionForm before = optionFormOf(f.context.settings);
        frmOption dialog(f.context, f.box, nullptr);
        dialog.show();
        child<QLineEdit>(&dialog, "txtPas")->setText("70000");
        child<QAbstractButton>(&dialog, "cmdOK")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.box.texts(), QStringList{f.context.language.extra("OptionOutOfRange", "70000")});
        QCOMPARE(f.box.shown.first().style, int(lang::MsgStyle::Exclamation));
        QCOMPARE(dialog.findChild<QStackedWidget *>()->currentWidget()->objectName(), "Frame1(2)");
        QCOMPARE(optionFormOf(f.context.settings), before);
    }

    void recomputesTheNamesOnlyWhenTheListHoldsFilesAndTheUserAgrees()
    {
        struct Case {
            int files;
            QList<int> answers;
            int questions;
            int recomputed;
        };
        const Case cases[] = {{0, {}, 0, 0}, {3, {lang::MsgAnswer::Yes}, 1, 1}, {3, {lang::MsgAnswer::No}, 1, 0}};
        for (const Case &c : cases) {
            OptionFixture f;
            f.box.answers = c.answers;
            int recomputed = 0;
            frmOption dialog(f.context, f.box, nullptr);
            dialog.fileCount = [&] { return c.files; };
            dialog.updateNames = [&] { ++recomputed; };
            child<QAbstractButton>(&dialog, "cmdOK")->click();
            QCOMPARE(f.box.shown.size(), c.questions);
            if (c.questions)
                QCOMPARE(f.box.shown.first().text, f.message(81));
            QCOMPARE(recomputed, c.recomputed);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
    }

    // A forbidden-character row takes a replacement of exactly one character;
    // the entry row grows the list once it has one.
    void forbiddenCharacterRowsAskTheirReplacement()
    {
        struct Case {
            QString answer;
            bool accepted;
        };
        for (const Case &c : {Case{"ab", false}, Case{"", false}, Case{"_", true}}) {
            OptionFixture f;
            frmOption dialog(f.context, f.box, nullptr);
            dialog.askReplacement = [&](const QString &, const QString &) { return std::optional<QString>(c.answer); };
            auto *table = child<QTableWidget>(&dialog, "lstCharInterdit");
            const int rows = table->rowCount();
            typeCell(table, rows - 1, 0, "#%");
            QCOMPARE(table->item(rows - 1, 1)->text(), c.accepted ? c.answer : QString());
            QCOMPARE(table->rowCount(), c.accepted ? rows + 1 : rows);
            QCOMPARE(f.box.texts(), c.accepted ? QStringList{} : QStringList{f.message(29)});
        }
        // Emptying a row's characters: Yes removes it, No puts them back.
        for (int answer : {lang::MsgAnswer::Yes, lang::MsgAnswer::No}) {
            OptionFixture f;
            f.box.answers = {answer};
            frmOption dialog(f.context, f.box, nullptr);
            auto *table = child<QTableWidget>(&dialog, "lstCharInterdit");
            const int rows = table->rowCount();
            const QString first = table->item(0, 0)->text();
            typeCell(table, 0, 0, QString());
            QCOMPARE(table->rowCount(), answer == lang::MsgAnswer::Yes ? rows - 1 : rows);
            if (answer == lang::MsgAnswer::No) {
                QCOMPARE(table->item(0, 0)->text(), first);
                QCOMPARE(f.box.texts(), (QStringList{f.message(26), f.message(27)}));
            }
        }
    }

    void emptiedForbiddenFileRowIsRemovedOnYes()
    {
        OptionFixture f;
        f.box.answers = {lang::MsgAnswer::Yes};
        frmOption dialog(f.context, f.box, nullptr);
        auto *table = child<QTableWidget>(&dialog, "lstFichierInterdit");
        const int rows = table->rowCount();
        const QString second = table->item(1, 0)->text();
        typeCell(table, 0, 0, QString());
        QCOMPARE(table->rowCount(), rows - 1);
        QCOMPARE(table->item(0, 0)->text(), second);
        QCOMPARE(f.box.texts(), QStringList{f.message(26)});
    }

    void counterFieldLeftWithoutANumberGoesBackToOne()
    {
        OptionFixture f;
        frmOption dialog(f.context, f.box, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *start = child<QLineEdit>(&dialog, "txtDebut");
        dialog.activateWindow();
        child<QListWidget>(&dialog, "lstOptions")->setCurrentRow(2);
        start->setFocus();
        start->setText("x");
        child<QLineEdit>(&dialog, "txtPas")->setFocus();
        QCOMPARE(start->text(), "1");
        QCOMPARE(f.box.texts(), QStringList{f.message(13)});
    }

    void startFolderFieldsFollowTheChoice()
    {
        OptionFixture f;
        frmOption dialog(f.context, f.box, nullptr);
        auto *choice = child<QComboBox>(&dialog, "cboDossier");
        for (int index : {0, 2, 1}) {
            choice->setCurrentIndex(index);
            QCOMPARE(child<QLineEdit>(&dialog, "txtDossierSpecifique")->isEnabled(), index == 2);
            QCOMPARE(child<QAbstractButton>(&dialog, "cmdDossierSpecifique")->isEnabled(), index == 2);
        }
    }

    // The Exif button opens the chooser, which offers the built-in reader
    // first when nothing was chosen; its OK makes the choice at once, for the
    // reader and the settings.
    void exifToolButtonOpensTheChooser()
    {
        OptionFixture f;
        QTemporaryDir store;
        QVERIFY(store.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
        frmOption dialog(f.context, f.box, nullptr);
        int offered = -1;
        const auto outcome = test::onNextModal([&](QWidget *window) {
            auto *chooser = qobject_cast<dialogs::ui::frmChoixOutilExif *>(window);
            if (!chooser)
                return;
            offered = chooser->shownChoice();
            auto *box = child<QComboBox>(window, "cboChoix");
            box->setCurrentIndex(box->findData(int(exif::ChoiceExifTool)));
            test::clickButton(window, "cmdOK");
        });
        child<QAbstractButton>(&dialog, "cmdExifTool")->click();
        QVERIFY(outcome->seen && !outcome->stuck);
        QCOMPARE(offered, int(exif::ChoiceBuiltin));
        QCOMPARE(f.context.settings.Option_OutilExifChoisi, int(exif::ChoiceExifTool));
        QCOMPARE(f.context.exifReader.choice(), int(exif::ChoiceExifTool));
        QCOMPARE(QSettings("Tarvello", "Tarvello").value("Options/GLOutilExifChoisi").toString(), QStringLiteral("3"));
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
