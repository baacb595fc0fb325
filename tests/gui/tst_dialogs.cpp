// The windows the main window opens beside the main job: the options and
// the Exif tool chooser, the help, the about box, the list of dependencies
// and the update.

#include "app/AppContext.h"
#include "dialogs/Dependencies.h"
#include "dialogs/ui/CHelp.h"
#include "dialogs/ui/frmAboutCredits.h"
#include "dialogs/ui/frmChoixOutilExif.h"
#include "dialogs/ui/frmDependance.h"
#include "dialogs/ui/frmOption.h"
#include "lang/ui/Translate.h"
#include "mainwindow/frmMain.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"
#include "tests/support/LocalHttpServer.h"
#include "update/Site.h"
#include "updatewindow/UpdateService.h"
#include "updatewindow/frmMiseAJour.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace tarvello;
using dialogs::ui::CHelp;
using dialogs::ui::frmOption;
using test::LocalHttpServer;

namespace {

const QString kLanguage = QStringLiteral("[LANGUAGE]\nlanguage=Français\n[MSG]\nm1=Titre\nm53=Aide absente ?\nm89=Système\n");

// The program's own language files and a message box that answers as told.
struct Program {
    explicit Program(const QString &languageName = QStringLiteral("English"))
    {
        context.programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        context.settings.General_AfficherImageBouton = 0;
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(languageName);
    }

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

// Every text a window shows or names for screen readers, each with the control it is on.
QStringList shownTexts(QWidget *window)
{
    QStringList texts;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : std::as_const(widgets)) {
        QStringList own;
        for (const char *property : {"toolTip", "accessibleName", "accessibleDescription", "windowTitle", "text", "title"})
            own.append(w->property(property).toString());
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
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
        for (const QString &text : std::as_const(own))
            texts.append(window->objectName() + QLatin1Char('.') + w->objectName() + QStringLiteral(": ") + text);
    }
    return texts;
}

const QString kNewer = QStringLiteral("1.14.0");

// The update service on the program's own French language file, and a site
// on 127.0.0.1 that offers a newer version with its notes, package and checksum.
struct UpdateFixture : Program {
    explicit UpdateFixture(bool tampered = false) : Program(QStringLiteral("Français"))
    {
        qputenv("TARVELLO_SITE", server.address().toUtf8());
        service.timeoutMs = 300;
        service.openPackage = [this](const QString &path) { return opened.append(path), true; };
        service.openUrl = [this](const QString &url) { return browsed.append(url), true; };
        for (int i = 0; i < 100000; ++i)
            package.append(char((i * 13 + i / 5) % 256));
        QByteArray served = package;
        if (tampered)
            served[500] = char(served[500] ^ 0x20);
        const QString packagePath = QStringLiteral("/Tarvello/") + update::packageFileName(kNewer);
        server.serve(QStringLiteral("/Tarvello/version.txt"), kNewer.toLatin1() + "\r\n");
        server.serve(QStringLiteral("/Tarvello/release_note.txt"), "Tarvello 1.14\nListes plus rapides\n");
        server.serve(packagePath, served);
        server.serve(packagePath + QStringLiteral(".sha256"), QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex()
                                                                  + "  " + update::packageFileName(kNewer).toLatin1() + "\n");
    }

    // The start-up check, waited for; asked tells whether it asked anything.
    bool checkAtStart()
    {
        service.checkAtStart(nullptr);
        asked = service.checking();
        return QTest::qWaitFor([this] { return !service.checking(); }, 10000);
    }

    QString message(int number) { return lang::ui::widgetText(context.language.GetMessage(number)); }

    LocalHttpServer server;
    updatewindow::UpdateService service{context, box};
    QStringList opened;
    QStringList browsed;
    bool asked = false;
    QByteArray package;
};

// The block of the document that carries this anchor, invalid when none does.
QTextBlock anchorBlock(QTextDocument *document, const QString &anchor)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor))
                return block;
        }
    }
    return {};
}

} // namespace

class tst_dialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The private temporary folder of the update lives in the test's own folder.
        m_savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        m_private = m_tmp.path() + QStringLiteral("/tarvello-") + QString::number(::getuid());
    }
    void cleanupTestCase()
    {
        qputenv("TMPDIR", m_savedTmp);
        qunsetenv("TARVELLO_SITE");
    }

    // Each control of the dialog reaches its option when confirmed; what the
    // options become from the form is the engine's table.
    void okWritesEachControlIntoItsOption()
    {
        Program f;
        QTemporaryDir folder;
        frmOption dialog(f.context, f.box, nullptr);
        child<QLineEdit>(&dialog, "txtDebut")->setText("7");
        child<QAbstractButton>(&dialog, "optRegle(0)")->click();
        child<QAbstractButton>(&dialog, "optDebut(2)")->click();
        child<QComboBox>(&dialog, "cboMois")->setCurrentIndex(3);
        child<QComboBox>(&dialog, "cboDossier")->setCurrentIndex(2);
        child<QLineEdit>(&dialog, "txtDossierSpecifique")->setText(folder.path());
        child<QLineEdit>(&dialog, "txtFormatJHead")->setText("jpg heic");
        auto *files = child<QTableWidget>(&dialog, "lstFichierInterdit");
        files->item(files->rowCount() - 1, 0)->setText("Index.été");
        child<QComboBox>(&dialog, "cboVignette")->setCurrentIndex(2);
        int redrawn = 0;
        dialog.thumbnailsChanged = [&redrawn] { ++redrawn; };

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
        QCOMPARE(s.Option_TailleVignette, 2);
    }

    // A language chosen in the dialog reaches every open window at once, the
    // rule's default comment with it: each shows what it would show opened in
    // that language. The tip topic shown stays.
    void aNewLanguageReachesEveryOpenWindow()
    {
        Program f(QStringLiteral("Français"));
        f.context.settings.rule.comment = f.context.language.GetMessage(95);
        QTemporaryDir empty; // a start folder that every window shows alike at once
        f.context.settings.Option_DossierSpecifique = empty.path();
        dialogs::ui::CHelp help(f.context, f.box);
        const auto open = [&](auto &main, auto &dialog) {
            main = std::make_unique<mainwindow::frmMain>(f.context, f.box);
            main->pushSettings();
            main->show();
            main->controls().lstAstuce->setCurrentRow(3);
            help.Show();
            dialog = std::make_unique<frmOption>(f.context, f.box, &help, main.get());
            dialog->show();
        };
        const auto texts = [&](QWidget *main, QWidget *dialog) {
            return shownTexts(main) + shownTexts(dialog) + shownTexts(help.window());
        };
        std::unique_ptr<mainwindow::frmMain> main;
        std::unique_ptr<frmOption> dialog;
        open(main, dialog);
        for (const char *name : {"English", "Français"}) {
            const QString language = QString::fromUtf8(name);
            auto *languages = child<QComboBox>(dialog.get(), "cboLangage");
            languages->setCurrentIndex(languages->findText(language));
            emit languages->activated(languages->currentIndex());
            QCOMPARE(f.context.settings.Langage_LangueUtilisee, language);
            QCOMPARE(main->controls().lstAstuce->currentRow(), 3);
            QCOMPARE(main->controls().lblComment->text(), f.context.language.GetMessage(95) + QStringLiteral(" (*)"));
            QVERIFY(help.window()->browser()->source().path().endsWith(f.context.language.baseName() + "/Tarvello.html"));
            const QStringList changed = texts(main.get(), dialog.get());
            dialog.reset();
            main.reset();
            open(main, dialog);
            QCOMPARE(changed, texts(main.get(), dialog.get()));
        }
        QVERIFY(f.box.shown.isEmpty());
    }

    // Every control a user reaches reads a name to screen readers, without
    // its mnemonic, in both languages.
    void everyControlHasAnAccessibleName_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("fr") << QStringLiteral("Français");
        QTest::newRow("en") << QStringLiteral("English");
    }
    void everyControlHasAnAccessibleName()
    {
        QFETCH(QString, language);
        Program f(language);
        test::LocalHttpServer server;
        qputenv("TARVELLO_SITE", server.address().toUtf8());
        server.serve(QStringLiteral("/Tarvello/version.txt"), f.context.version.text().toLatin1());
        CHelp help{f.context, f.box, [](const QString &) { return true; }};
        updatewindow::UpdateService updates{f.context, f.box};
        frmOption dialog(f.context, f.box, nullptr);
        dialogs::ui::frmChoixOutilExif chooser(f.context, nullptr);
        dialogs::ui::frmAboutCredits about(f.context, help, &updates);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QStringList unnamed;
        for (QWidget *window : {static_cast<QWidget *>(&dialog), static_cast<QWidget *>(&chooser), static_cast<QWidget *>(&about)}) {
            QVERIFY(!window->windowTitle().isEmpty() && window->windowTitle() != QStringLiteral("Options"));
            for (QWidget *w : window->findChildren<QWidget *>()) {
                // Every named part of the about box; the controls of the others.
                const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                    || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractItemView *>(w) || window == &about;
                if (!control || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                if (w->accessibleName().trimmed().isEmpty() || w->accessibleName().contains(QLatin1Char('&')))
                    unnamed.append(window->objectName() + QLatin1Char('.') + w->objectName() + QStringLiteral(": ") + w->accessibleName());
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        // The about box's figures read their caption, then their value; the
        // free space follows the disk chosen.
        const QList<std::pair<const char *, const char *>> figures = {
            {"lblMemTot", "Label(0)"}, {"lblMemDis", "Label(1)"}, {"lblEspaceVal", "lblEspace"}};
        for (const auto &[valueName, captionName] : figures) {
            const QString value = child<QLabel>(&about, valueName)->text().trimmed();
            const QString caption = child<QLabel>(&about, captionName)->text().remove(QLatin1Char('&')).simplified();
            QVERIFY2(value.contains(QRegularExpression(QStringLiteral("\\d"))), valueName);
            QCOMPARE(child<QLabel>(&about, valueName)->accessibleName(), caption + QLatin1Char(' ') + value);
        }
        auto *drive = child<QComboBox>(&about, "drvDisque");
        QVERIFY(drive->count() > 0 && child<QLabel>(&about, "lblEspace")->text().contains(drive->currentText()));
    }

    // Every topic of the shipped help files opens at its own section, and the
    // section says something.
    void shippedTopicsOpenAtTheirSection_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("topic");
        for (const char *language : {"Francais", "English"}) {
            for (int topic = 10000; topic <= 10005; ++topic)
                QTest::addRow("%s %d", language, topic) << QString::fromLatin1(language) << topic;
        }
    }

    void shippedTopicsOpenAtTheirSection()
    {
        QFETCH(QString, language);
        QFETCH(int, topic);
        test::TestProgram program(kLanguage);
        QFile source(QStringLiteral(TARVELLO_SOURCE_DIR "/langages/") + language + QStringLiteral("/Tarvello.html"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        program.writeFile(QStringLiteral("langages/Francais/Tarvello.html"), source.readAll());
        test::ScriptedMsgBox box;
        CHelp help(program.context, box);
        help.Show(topic);
        QVERIFY(box.shown.isEmpty());
        QTextBrowser *browser = help.window()->browser();
        QVERIFY(help.window()->isVisible());
        QCOMPARE(browser->source().fragment(), QString::number(topic));

        QTextDocument *document = browser->document();
        const QTextBlock block = anchorBlock(document, QString::number(topic));
        QVERIFY2(block.isValid(), "the topic's anchor is missing");
        const QRectF where = document->documentLayout()->blockBoundingRect(block);
        const int top = browser->verticalScrollBar()->value();
        QVERIFY(where.top() >= top && where.top() < top + browser->viewport()->height());
        // Up to the next topic's heading, the section has real content.
        const QTextBlock next = anchorBlock(document, QString::number(topic + 1));
        QString section;
        for (QTextBlock b = block.next(); b.isValid() && b != next; b = b.next())
            section += b.text();
        QVERIFY2(section.size() > 400, qPrintable(QStringLiteral("%1 characters").arg(section.size())));
        QVERIFY(!section.contains(QChar::ReplacementCharacter));
    }

    void dependenciesListTheSystemThenTheLoadedFiles()
    {
        test::TestProgram program(kLanguage);
        test::ScriptedMsgBox box;
        CHelp help(program.context, box, [](const QString &) { return true; });
        dialogs::ui::frmDependance window(program.context, help);
        auto *list = child<QTreeWidget>(&window, "lstDependance");
        // No name or version is cut, the system's long name included.
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            for (int column = 0; column < 2; ++column) {
                const QString text = list->topLevelItem(i)->text(column);
                QVERIFY2(list->fontMetrics().horizontalAdvance(text) < list->columnWidth(column), qPrintable(text));
            }
        }
        // The rows themselves are the engine's; the window names the system
        // from its message and copies the rows as they are listed.
        const QList<dialogs::DependencyRow> rows = window.rows();
        QVERIFY(rows.size() > 3);
        QCOMPARE(rows[0].name, QStringLiteral("Système"));
        QCOMPARE(list->topLevelItemCount(), rows.size());
        child<QPushButton>(&window, "cmdPressePapier")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), dialogs::dependencyText(rows));
    }
    // A newer version opens the update window, and the day is kept: the next
    // start that day asks nothing. A site that does not answer is asked again.
    void startUpOffersANewerVersionAtMostOnceADay()
    {
        for (const bool answered : {true, false}) {
            UpdateFixture f;
            if (!answered)
                qputenv("TARVELLO_SITE", LocalHttpServer::deadAddress().toUtf8());
            QVERIFY(f.checkAtStart());
            QCOMPARE(f.service.dialog() != nullptr, answered);
            QVERIFY(f.box.shown.isEmpty());
            QCOMPARE(f.context.settings.General_DerniereVerification == QDate::currentDate().toString(Qt::ISODate), answered);
            if (f.service.dialog()) {
                f.service.dialog()->close();
                QVERIFY(QTest::qWaitFor([&] { return !f.service.dialog(); }, 5000));
            }
            f.server.requested.clear();
            QVERIFY(f.checkAtStart());
            QCOMPARE(f.asked, !answered);
            QVERIFY(f.asked || f.server.requested.isEmpty());

            f.context.settings.General_DerniereVerification = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
            QVERIFY(f.checkAtStart());
            QVERIFY(f.asked);
        }
    }

    // Next downloads the package: checked, it is handed over and the window
    // goes; tampered, nothing is kept, the user is told why and offered the site.
    void theCheckedPackageIsHandedOverAndNothingElseIs()
    {
        for (const bool tampered : {false, true}) {
            QDir(m_private).removeRecursively();
            UpdateFixture f(tampered);
            f.box.answers = {lang::MsgAnswer::OK, lang::MsgAnswer::Yes};
            QVERIFY(f.checkAtStart());
            QPointer<updatewindow::frmMiseAJour> window = f.service.dialog();
            QVERIFY(window);
            auto *next = window->findChild<QPushButton *>(QStringLiteral("cmdSuivant"));
            next->click();
            QVERIFY(!next->isVisible());
            QVERIFY(QTest::qWaitFor([&] { return !f.box.shown.isEmpty(); }, 10000));
            const QString packageFile = m_private + QLatin1Char('/') + update::packageFileName(kNewer);
            if (!tampered) {
                QCOMPARE(f.opened, QStringList{packageFile});
                QFile file(packageFile);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), f.package);
                QCOMPARE(f.box.texts(), QStringList{lang::ui::widgetText(f.context.language.extra("UpdateHandedOver", kNewer))});
                QVERIFY(!window);
                continue;
            }
            QVERIFY(f.opened.isEmpty());
            QCOMPARE(QDir(m_private).entryList(QDir::Files | QDir::Hidden), QStringList());
            QCOMPARE(f.box.shown.size(), 2);
            QVERIFY(f.box.shown[0].text.startsWith(f.message(82) + QLatin1Char('\n')));
            QCOMPARE(f.box.shown[0].style, lang::MsgStyle::Exclamation);
            QCOMPARE(f.box.shown[1].text, f.message(84));
            // Yes to message 84 opens the site; the window stays for cancelling only.
            QCOMPARE(f.browsed, QStringList{f.server.address()});
            QVERIFY(window && window->isVisible() && !next->isVisible());
            window->findChild<QPushButton *>(QStringLiteral("cmdAnnuler"))->click();
            QVERIFY(QTest::qWaitFor([&] { return !window; }, 5000));
        }
    }

private:
    QTemporaryDir m_tmp;
    QByteArray m_savedTmp;
    QString m_private;
};

QTEST_MAIN(tst_dialogs)
#include "tst_dialogs.moc"
