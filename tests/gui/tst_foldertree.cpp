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
        QTest::newRow("existing folder") << "a/b" << "a/b";
        QTest::newRow("trailing slash") << "a/b/" << "a/b";
        QTest::newRow("dot segments") << "a/./c/../b" << "a/b";
        QTest::newRow("missing folder: nearest existing parent") << "a/b/missing/deeper" << "a/b";
        QTest::newRow("file: its folder") << "a/b/file.txt" << "a/b";
        QTest::newRow("hidden folder") << "a/.hidden" << "a/.hidden";
    }

    void setCurrentPath()
    {
        QFETCH(QString, given);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath("a/b/file.txt")));
        QVERIFY(QDir(dir.path()).mkpath("a/c"));
        QVERIFY(QDir(dir.path()).mkpath("a/.hidden"));
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

    void setCurrentPathEnds()
    {
        FolderTree tree(m_language);
        QCOMPARE(tree.CurrentPath(), QStringLiteral("/"));
        tree.setCurrentPath(QDir::homePath());
        tree.setCurrentPath(QStringLiteral("/"));
        QCOMPARE(tree.CurrentPath(), QStringLiteral("/"));
        tree.setCurrentPath(QString());
        QCOMPARE(tree.CurrentPath(), QDir::cleanPath(QDir::homePath()));
        tree.setCurrentPath(QStringLiteral("/no such folder/anywhere"));
        QCOMPARE(tree.CurrentPath(), QStringLiteral("/"));
    }

    // Folders only, hidden ones too, links to folders too, in the order
    // people count ("dir2" before "dir10") with accents set aside.
    void listsFoldersOnly()
    {
        QTemporaryDir dir;
        for (const char *name : {"dir10", "dir2", ".hidden", "Été", "zeta"})
            QVERIFY(QDir(dir.path()).mkdir(QString::fromUtf8(name)));
        QVERIFY(makeFile(dir.filePath("file.txt")));
        QVERIFY(QFile::link(dir.filePath("zeta"), dir.filePath("link")));
        FolderTree tree(m_language);
        QCOMPARE(rowsOf(tree, dir.path()), (QStringList{".hidden", "dir2", "dir10", "Été", "link", "zeta"}));
    }

    void clickingAFolderShowsItsFiles()
    {
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath("top.txt")));
        QVERIFY(makeFile(dir.filePath("sub/inner.txt")));
        FolderTree tree(m_language);
        FileView view(m_language);
        view.setFolderTree(&tree);
        tree.resize(400, 600);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QCOMPARE(rowsOf(tree, dir.path()), QStringList{"sub"});
        QTRY_COMPARE(view.itemNames(), QStringList{"top.txt"});

        const QModelIndex sub = childNamed(tree, tree.currentIndex(), "sub");
        tree.scrollTo(sub);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(sub).center());
        QCOMPARE(tree.CurrentPath(), dir.filePath("sub"));
        QCOMPARE(view.folder(), dir.filePath("sub"));
        QTRY_COMPARE(view.itemNames(), QStringList{"inner.txt"});
    }

    void followsChangesOnDisk()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("old"));
        FolderTree tree(m_language);
        QCOMPARE(rowsOf(tree, dir.path()), QStringList{"old"});
        const QModelIndex folder = tree.currentIndex();
        QVERIFY(QDir(dir.path()).mkdir("new"));
        QVERIFY(QDir(dir.path()).rename("old", "older"));
        QTRY_COMPARE(tree.model()->rowCount(folder), 2);
        QCOMPARE(childNamed(tree, folder, "new").isValid(), true);
        QCOMPARE(childNamed(tree, folder, "older").isValid(), true);
        QVERIFY(QDir(dir.path()).rmdir("new"));
        QTRY_COMPARE(tree.model()->rowCount(folder), 1);
    }

    // The current folder vanishes: the tree takes the nearest folder that
    // still exists and the file view follows it.
    void currentFolderVanishes_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the current folder") << "a/b/c" << "a/b";
        QTest::newRow("a folder above it") << "a" << "";
    }

    void currentFolderVanishes()
    {
        QFETCH(QString, removed);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath("a/b/c/deep.txt")));
        QVERIFY(makeFile(dir.filePath("a/b/mid.txt")));
        QVERIFY(makeFile(dir.filePath("top.txt")));
        FolderTree tree(m_language);
        FileView view(m_language);
        view.setFolderTree(&tree);
        tree.setCurrentPath(dir.filePath("a/b/c"));
        QTRY_COMPARE(view.itemNames(), QStringList{"deep.txt"});

        QVERIFY(QDir(dir.filePath(removed)).removeRecursively());
        const QString folder = expected.isEmpty() ? dir.path() : dir.filePath(expected);
        QTRY_COMPARE(tree.CurrentPath(), folder);
        QCOMPARE(tree.currentIndex().data(Qt::ToolTipRole).toString(), folder);
        QTRY_COMPARE(view.folder(), folder);
        QTRY_COMPARE(view.itemNames(), QStringList{expected.isEmpty() ? "top.txt" : "mid.txt"});
        QVERIFY(view.message().isEmpty());
    }

    void refreshKeepsTheCurrentFolder()
    {
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath("a/b/file.txt")));
        FolderTree tree(m_language);
        FileView view(m_language);
        view.setFolderTree(&tree);
        tree.setCurrentPath(dir.filePath("a/b"));
        QTRY_COMPARE(view.itemNames(), QStringList{"file.txt"});
        QSignalSpy refreshed(&tree, &FolderTree::refreshed);
        QSignalSpy listed(&view, &FileView::listingFinished);
        tree.refresh();
        QCOMPARE(tree.CurrentPath(), dir.filePath("a/b"));
        QCOMPARE(tree.currentIndex().data(Qt::ToolTipRole).toString(), dir.filePath("a/b"));
        QCOMPARE(refreshed.size(), 1);
        QTRY_COMPARE(listed.size(), 1);
        QCOMPARE(view.itemNames(), QStringList{"file.txt"});

        // Refreshing after the folder went opens the tree at its parent.
        QVERIFY(QDir(dir.filePath("a/b")).removeRecursively());
        tree.refresh();
        QCOMPARE(tree.CurrentPath(), dir.filePath("a"));
        QTRY_COMPARE(view.folder(), dir.filePath("a"));
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

    // A folder whose name is not UTF-8 shows with a replacement character;
    // the tree still opens it (by its bytes) while the file view explains
    // why it cannot show its files.
    void folderNameNotUtf8()
    {
        QTemporaryDir dir;
        const auto cleanUp = qScopeGuard([&dir] {
            removeRaw(dir.path(), "d\xff/inner");
            removeRaw(dir.path(), "d\xff");
        });
        QVERIFY(makeRawFolder(dir.path(), "d\xff"));
        QVERIFY(::mkdir((QFile::encodeName(dir.path()) + "/d\xff/inner").constData(), 0755) == 0);
        FolderTree tree(m_language);
        FileView view(m_language);
        view.setFolderTree(&tree);
        tree.resize(400, 600);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        const QString shown = QStringLiteral("d\uFFFD");
        QCOMPARE(rowsOf(tree, dir.path()), QStringList{shown});

        const QModelIndex bad = childNamed(tree, tree.currentIndex(), shown);
        tree.scrollTo(bad);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(bad).center());
        QCOMPARE(tree.CurrentPath(), dir.path() + '/' + shown);
        QTRY_VERIFY(!view.isListing());
        QCOMPARE(view.message(), m_language.extra("BrowserBadName", tree.CurrentPath()));
        tree.expand(bad);
        QTRY_COMPARE(tree.model()->rowCount(bad), 1);
        QCOMPARE(tree.model()->index(0, 0, bad).data().toString(), QStringLiteral("inner"));
        QCOMPARE(tree.CurrentPath(), dir.path() + '/' + shown);
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
