#include "browser/FileView.h"
#include "browser/FolderTree.h"
#include "browser/FolderTreeModel.h"
#include "lang/ui/Translate.h"
#include "support/FolderFixture.h"
#include "support/TestProgram.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using tarvello::browser::FileView;
using tarvello::browser::FolderTree;
using tarvello::browser::FolderTreeModel;
using namespace folderfixture;

class tst_foldertree : public QObject
{
    Q_OBJECT

private:
    // Opens the tree on the folder and gives the names of its rows once it
    // is listed.
    static QStringList rowsOf(FolderTree &tree, const QString &path)
    {
        tree.setCurrentPath(path);
        const QModelIndex index = tree.currentIndex();
        tree.expand(index);
        const auto *model = qobject_cast<const FolderTreeModel *>(tree.model());
        if (!QTest::qWaitFor([&] { return model->isListed(index); }, 10000))
            return {QStringLiteral("(never listed)")};
        QStringList names;
        for (int row = 0; row < model->rowCount(index); ++row)
            names.append(model->index(row, 0, index).data().toString());
        return names;
    }

    static QModelIndex childNamed(const FolderTree &tree, const QModelIndex &parent, const QString &name)
    {
        for (int row = 0; row < tree.model()->rowCount(parent); ++row) {
            const QModelIndex child = tree.model()->index(row, 0, parent);
            if (child.data().toString() == name)
                return child;
        }
        return {};
    }

    tarvello::lang::Language m_language = french();

private Q_SLOTS:
    void setCurrentPath_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dot segments") << "a/./c/../b" << "a/b";
        QTest::newRow("missing folder: nearest existing parent") << "a/b/missing/deeper" << "a/b";
        QTest::newRow("file: its folder") << "a/b/file.txt" << "a/b";
    }

    void setCurrentPath()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath("a/b/file.txt")));
        QVERIFY(QDir(dir.path()).mkpath("a/c"));
        FolderTree tree(m_language);
        QSignalSpy changed(&tree, &FolderTree::currentPathChanged);
        tree.setCurrentPath(dir.path() + '/' + given);
        const QString folder = dir.filePath(expected);
        QCOMPARE(tree.CurrentPath(), folder);
        QCOMPARE(tree.currentIndex().data(Qt::ToolTipRole).toString(), folder);
        for (QModelIndex parent = tree.currentIndex().parent(); parent.isValid(); parent = parent.parent())
            QVERIFY2(tree.isExpanded(parent), qPrintable(parent.data().toString() + " is closed"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), folder);

        tree.setCurrentPath(folder);
        QCOMPARE(changed.size(), 1);
    }

    void unreadableFolder()
    {
        QTemporaryDir dir;
        const QString locked = makeLockedFolder(dir.path(), "locked");
        if (locked.isEmpty())
            QSKIP("folder permissions do not bind here");
        const auto unlock = qScopeGuard([&locked] { unlockFolder(locked); });
        FolderTree tree(m_language);
        FileView view(m_language);
        view.setFolderTree(&tree);
        QCOMPARE(rowsOf(tree, dir.path()), QStringList{"locked"});
        const QModelIndex row = childNamed(tree, tree.currentIndex(), "locked");
        QVERIFY(row.data(Qt::ForegroundRole).isValid());
        QVERIFY(!tree.model()->hasChildren(row));

        // The tree still goes there; the file view says why it shows nothing.
        tree.setCurrentPath(locked);
        QCOMPARE(tree.CurrentPath(), locked);
        tree.expand(tree.currentIndex());
        QTRY_COMPARE(view.message(), m_language.extra("BrowserUnreadable", locked));
        QCOMPARE(tree.model()->rowCount(tree.currentIndex()), 0);
    }

    // The main window names its controls for screen readers from its own
    // section of the language file; the controls' own names must give way.
    void accessibleNames()
    {
        tarvello::test::TestProgram program(
            "[LANGUAGE]\nlanguage=Français\n[frmMain]\nTreeView1.ToolTipText=Arbre des dossiers\n"
            "ListView1.ToolTipText=Fichiers montrés\n[EXTRA]\nBrowserTreeName=Tree by itself\nBrowserViewName=View by itself\n");
        const tarvello::lang::Language &language = program.context.language;
        QWidget window;
        window.setObjectName("frmMain");
        auto *tree = new FolderTree(language, &window);
        auto *view = new FileView(language, &window);
        QCOMPARE(tree->accessibleName(), QStringLiteral("Tree by itself"));
        QCOMPARE(view->accessibleName(), QStringLiteral("View by itself"));
        // The window's own names win, also when the browser translates itself again.
        tarvello::lang::ui::TranslateForm(&window, language);
        tree->retranslate();
        view->retranslate();
        QCOMPARE(tree->accessibleName(), QStringLiteral("Arbre des dossiers"));
        QCOMPARE(view->accessibleName(), QString::fromUtf8("Fichiers montrés"));
    }
};

QTEST_MAIN(tst_foldertree)
#include "tst_foldertree.moc"
