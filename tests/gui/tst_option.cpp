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
