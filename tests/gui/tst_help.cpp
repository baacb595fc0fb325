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
};

QTEST_MAIN(tst_help)
#include "tst_help.moc"
