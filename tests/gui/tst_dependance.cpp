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
};

QTEST_MAIN(tst_dependance)
#include "tst_dependance.moc"
