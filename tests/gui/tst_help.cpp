#include "dialogs/HelpTopics.h"
#include "dialogs/ui/CHelp.h"
#include "dialogs/ui/ProgramServices.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

using namespace tarvello;
using dialogs::ui::CHelp;

namespace {

const QString kLanguage = QStringLiteral("[LANGUAGE]\nlanguage=Français\n[MSG]\nm1=Titre un\nm53=Aide absente ?\n");
const QString kHelpFile = QStringLiteral("langages/Francais/Tarvello.html");

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

// Records the addresses the help hands to the browser.
struct Opened {
    QStringList urls;
    dialogs::ui::UrlOpener opener()
    {
        return [this](const QString &url) {
            urls.append(url);
            return true;
        };
    }
};

} // namespace

class tst_help : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        program.writeFile(kHelpFile, source.readAll());
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

    // A help file that is missing or cannot be read is no help: the user is
    // asked once whether to open the manual on the site instead.
    void unusableHelpFileAsksOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("missing, Non does nothing") << "missing" << 7 << QStringList{};
        QTest::newRow("missing, Oui opens the manual") << "missing" << 6
                                                       << QStringList{"http://127.0.0.1:9/Tarvello/manuel.html"};
        QTest::newRow("folder in its place") << "folder" << 7 << QStringList{};
        QTest::newRow("dangling link") << "link" << 7 << QStringList{};
        QTest::newRow("empty file") << "empty" << 7 << QStringList{};
    }

    void unusableHelpFileAsksOnce()
    {
        QFETCH(QString, kind);
        QFETCH(int, answer);
        QFETCH(QStringList, opened);
        test::TestProgram program(kLanguage);
        QDir().mkpath(program.path(QStringLiteral("langages/Francais")));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(program.path(kHelpFile)));
        else if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(program.path(QStringLiteral("gone.html")), program.path(kHelpFile)));
        else if (kind == QLatin1String("empty"))
            program.writeFile(kHelpFile, QByteArray());
        test::ScriptedMsgBox box;
        box.answers = {answer};
        Opened browser;
        qputenv("TARVELLO_SITE", "http://127.0.0.1:9");
        CHelp help(program.context, box, browser.opener());
        help.Show(dialogs::HelpTopic::Options);
        qunsetenv("TARVELLO_SITE");
        QCOMPARE(box.shown.size(), 1);
        QCOMPARE(box.shown.first().text, program.context.language.GetMessage(53));
        QCOMPARE(box.shown.first().title, program.context.language.GetMessage(1));
        QCOMPARE(box.shown.first().style, 68);
        QCOMPARE(browser.urls, opened);
        QVERIFY(!help.window());
    }

    // Garbage or a file without the topic opens at its start, without a word.
    void damagedHelpFileStillOpens_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char((i * 37) & 0xff));
        QTest::newRow("binary") << binary;
        QTest::newRow("no anchors") << QByteArray("<html><body><p>Rien ici</p></body></html>");
        QTest::newRow("unclosed tags") << QByteArray("<html><body><h2 id=\"10001\"><a name=\"10001\">Options<table><tr><td>");
    }

    void damagedHelpFileStillOpens()
    {
        QFETCH(QByteArray, bytes);
        test::TestProgram program(kLanguage);
        program.writeFile(kHelpFile, bytes);
        test::ScriptedMsgBox box;
        CHelp help(program.context, box, Opened().opener());
        help.Show(dialogs::HelpTopic::Options);
        QVERIFY(box.shown.isEmpty());
        QVERIFY(help.window() && help.window()->isVisible());
    }

    void oneWindowFollowsTheTopicsAndLinks()
    {
        test::TestProgram program(kLanguage);
        program.writeFile(kHelpFile,
                          "<html><body><a href=\"#10001\">options</a> <a href=\"http://127.0.0.1:9/forum\">forum</a>"
                          "<h2 id=\"10000\"><a name=\"10000\"></a>A</h2><p>a</p>"
                          "<h2 id=\"10001\"><a name=\"10001\"></a>B</h2><p>b</p></body></html>");
        test::ScriptedMsgBox box;
        Opened browser;
        CHelp help(program.context, box, browser.opener());
        help.Show(dialogs::HelpTopic::MainWindow);
        QPointer<dialogs::ui::frmHelp> first = help.window();
        help.Show(dialogs::HelpTopic::Options);
        QCOMPARE(help.window(), first.data());
        QCOMPARE(first->browser()->source().fragment(), QStringLiteral("10001"));

        // A link inside the help stays in the window; one to the web goes to the browser.
        Q_EMIT first->browser()->anchorClicked(QUrl(QStringLiteral("#10000")));
        QCOMPARE(first->browser()->source().fragment(), QStringLiteral("10000"));
        QVERIFY(first->findChild<QPushButton *>(QStringLiteral("cmdPrecedent"))->isEnabled());
        Q_EMIT first->browser()->anchorClicked(QUrl(QStringLiteral("http://127.0.0.1:9/forum")));
        QCOMPARE(browser.urls, QStringList{"http://127.0.0.1:9/forum"});

        help.closeHelp();
        QVERIFY(first.isNull());
    }

    // What start-up asks of the message box and the help goes to the program's own windows.
    void startUpServices()
    {
        test::TestProgram program(kLanguage);
        program.writeFile(kHelpFile, "<html><body><h2 id=\"10002\"><a name=\"10002\"></a>Nouveau</h2></body></html>");
        dialogs::ui::ProgramServices services;
        services.showHelp(dialogs::HelpTopic::WhatsNew);
        services.closeHelp();
        services.attach(program.context);
        services.showHelp(dialogs::HelpTopic::WhatsNew);
        QVERIFY(services.help()->window());
        QCOMPARE(services.help()->window()->browser()->source().fragment(), QStringLiteral("10002"));
        QPointer<dialogs::ui::frmHelp> window = services.help()->window();
        services.closeHelp();
        QVERIFY(window.isNull());

        QString shownBy;
        auto outcome = test::onNextModal([&](QWidget *modal) {
            shownBy = modal->objectName();
            test::clickButton(modal, "cmdNon");
        });
        QCOMPARE(services.msgBox().KVvrMesgBox(QStringLiteral("Continuer ?"), 36, QStringLiteral("Titre")), 7);
        QCOMPARE(shownBy, QStringLiteral("frmKVRMsgBox"));
        QCOMPARE(services.msgBox().result(), 7);
    }
};

QTEST_MAIN(tst_help)
#include "tst_help.moc"
