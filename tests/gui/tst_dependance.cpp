#include "dialogs/Dependencies.h"
#include "dialogs/ui/CHelp.h"
#include "dialogs/ui/CLBHScroll.h"
#include "dialogs/ui/frmDependance.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"

#include <QClipboard>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

using namespace tarvello;

namespace {

const QString kLanguage = QStringLiteral(
    "[LANGUAGE]\nlanguage=Français\n[MSG]\nm1=Titre\nm53=Aide absente ?\nm89=Système\n");

} // namespace

class tst_dependance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsTheSystemThenTheLoadedFiles()
    {
        test::TestProgram program(kLanguage);
        test::ScriptedMsgBox box;
        dialogs::ui::CHelp help(program.context, box, [](const QString &) { return true; });
        dialogs::ui::frmDependance window(program.context, help);
        auto *list = window.findChild<QTreeWidget *>(QStringLiteral("lstDependance"));
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
        window.findChild<QPushButton *>(QStringLiteral("cmdPressePapier"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), dialogs::dependencyText(rows));
    }

    void helpButtonOpensItsTopic()
    {
        test::TestProgram program(kLanguage);
        program.writeFile(QStringLiteral("langages/Francais/Tarvello.html"),
                          "<html><body><h2 id=\"10005\"><a name=\"10005\"></a>Liste</h2></body></html>");
        test::ScriptedMsgBox box;
        dialogs::ui::CHelp help(program.context, box, [](const QString &) { return true; });
        dialogs::ui::frmDependance window(program.context, help);
        window.findChild<QPushButton *>(QStringLiteral("cmdAide"))->click();
        QVERIFY(help.window());
        QCOMPARE(help.window()->browser()->source().fragment(), QStringLiteral("10005"));
    }

    void listExtentFollowsTheWidestItem()
    {
        QListWidget list;
        list.resize(200, 120);
        list.addItem(QStringLiteral("left over from before"));
        list.show();
        dialogs::ui::CLBHScroll scroll;
        scroll.Init(&list);
        QCOMPARE(list.count(), 0);
        QCOMPARE(scroll.widest(), 0);

        const QString wide = QStringLiteral("/un/chemin/très/long/vers/une/photographie/renommée/IMG_0001.JPG");
        const int wideWidth = list.fontMetrics().horizontalAdvance(wide);
        scroll.AddItem(QStringLiteral("court"));
        scroll.AddItem(wide);
        QCoreApplication::processEvents();
        auto contentWidth = [&] { return list.horizontalScrollBar()->maximum() + list.viewport()->width(); };
        const int extent = contentWidth();
        QVERIFY(extent >= wideWidth);
        QCOMPARE(scroll.widest(), wideWidth);

        for (int i = 0; i < 50; ++i)
            scroll.AddItem(QStringLiteral("ligne %1").arg(i));
        QCoreApplication::processEvents();
        QCOMPARE(scroll.widest(), wideWidth);
        QCOMPARE(contentWidth(), extent);
        // The item just added is in view.
        QCOMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
        QVERIFY(list.visualItemRect(list.item(list.count() - 1)).intersects(list.viewport()->rect()));

        // Scrolled right to the end, the widest item's text is whole.
        list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
        QVERIFY(list.visualItemRect(list.item(1)).right() <= list.viewport()->rect().right() + 1);
        QVERIFY(list.visualItemRect(list.item(1)).width() >= wideWidth);

        scroll.Init(&list);
        QCOMPARE(scroll.widest(), 0);
        QCOMPARE(list.count(), 0);
    }
};

QTEST_MAIN(tst_dependance)
#include "tst_dependance.moc"
