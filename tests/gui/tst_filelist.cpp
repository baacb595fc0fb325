// The files side of the main window: the folder tree and the file view, the
// file list with each add and its duplicate rule, the drag of one entry, the
// list as screen readers see it, the rename of the list as the window follows
// it, and the preview of the files.

#include "browser/FolderTree.h"
#include "browser/FolderTreeModel.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswer.h"
#include "support/TestProgram.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QMimeData>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

using namespace tarvello;
using namespace folderfixture;
using browser::FileView;
using browser::FolderTree;
using browser::FolderTreeModel;
using lang::ui::widgetText;
using test::MainWindowFixture;

namespace {

constexpr int Yes = lang::MsgAnswer::Yes;

// Shows the folder in the view and waits for its listing to end.
bool showFolder(browser::FileView &view, const QString &folder)
{
    view.setFolder(folder);
    return QTest::qWaitFor([&view] { return !view.isListing(); }, 10000);
}

// Drops the paths on cmdDnD as a file manager would; true when the drop was taken.
bool dropOn(QWidget *target, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl(QStringLiteral("file://") + QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"))));
    data.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(centre, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// A picture of one colour, wider than high, saved under the name.
void savePicture(const QString &path, QSize size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

QImage shown(const QLabel *label)
{
    return label->pixmap().toImage();
}

QStringList thumbnailNames(const QListWidget *view)
{
    QStringList names;
    for (int row = 0; row < view->count(); ++row)
        names.append(view->item(row)->text());
    return names;
}

// True once every thumbnail has its picture.
bool thumbnailsDrawn(const QListWidget *view)
{
    for (int row = 0; row < view->count(); ++row) {
        if (view->item(row)->icon().isNull())
            return false;
    }
    return view->count() > 0;
}

} // namespace

class tst_filelist : public QObject
{
    Q_OBJECT

private:
    const lang::Language m_french = folderfixture::french();

private Q_SLOTS:
    void patternMatching_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("* takes every file, hidden ones too")
            << "*" << QStringList{".hidden", "a.txt", "b.TXT", "img1.jpg", "notes.txt", "PHOTO.JPG", "photo.png", "README"};
        QTest::newRow("several patterns, any case") << "*.png *.TXT" << QStringList{"a.txt", "b.TXT", "notes.txt", "photo.png"};
        QTest::newRow("no pattern shows nothing") << "" << QStringList{};
    }

    // Setting the pattern refreshes what the view shows.
    void patternMatching()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(makeFiles(dir.path(), {"PHOTO.JPG", "photo.png", "notes.txt", "README", ".hidden", "img1.jpg", "a.txt", "b.TXT"}));
        FileView view(m_french);
        QVERIFY(showFolder(view, dir.path()));
        view.setPattern(pattern);
        QCOMPARE(view.itemNames(), expected);
        QCOMPARE(view.count(), expected.size());
    }

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
        FolderTree tree(m_french);
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

    // The tree marks a folder it cannot list and still goes there; the file
    // view says why it shows nothing, until a refresh finds it readable.
    void unreadableFolder()
    {
        QTemporaryDir dir;
        const QString locked = makeLockedFolder(dir.path(), "locked");
        if (locked.isEmpty())
            QSKIP("folder permissions do not bind here");
        auto unlock = qScopeGuard([&locked] { unlockFolder(locked); });
        FolderTree tree(m_french);
        FileView view(m_french);
        view.setFolderTree(&tree);
        tree.setCurrentPath(dir.path());
        tree.expand(tree.currentIndex());
        const auto *model = qobject_cast<const FolderTreeModel *>(tree.model());
        QVERIFY(QTest::qWaitFor([&] { return model->isListed(tree.currentIndex()); }, 10000));
        QCOMPARE(model->rowCount(tree.currentIndex()), 1);
        const QModelIndex row = model->index(0, 0, tree.currentIndex());
        QCOMPARE(row.data().toString(), QStringLiteral("locked"));
        QVERIFY(row.data(Qt::ForegroundRole).isValid());
        QVERIFY(!model->hasChildren(row));

        tree.setCurrentPath(locked);
        QCOMPARE(tree.CurrentPath(), locked);
        tree.expand(tree.currentIndex());
        QTRY_COMPARE(view.message(), m_french.extra("BrowserUnreadable", locked).replace("\r\n", "\n"));
        QCOMPARE(view.count(), 0);
        QVERIFY(view.findChild<QLabel *>()->isVisibleTo(&view));
        QCOMPARE(model->rowCount(tree.currentIndex()), 0);
        unlock.dismiss();
        unlockFolder(locked);
        view.refresh();
        QTRY_COMPARE(view.itemNames(), QStringList{"inside.txt"});
        QVERIFY(view.message().isEmpty());
    }

    // Linux names are bytes: names that are not UTF-8 show with replacement
    // characters, and two such names that read alike stay two files.
    void namesThatAreNotUtf8()
    {
        QTemporaryDir dir;
        const auto cleanUp = qScopeGuard([&dir] {
            for (const QByteArray &name : {QByteArray("bad\xff.txt"), QByteArray("bad\xfe.txt"), QByteArray("folder\xff")})
                removeRaw(dir.path(), name);
        });
        QVERIFY(makeRawFile(dir.path(), "bad\xff.txt", 3000));
        QVERIFY(makeRawFile(dir.path(), "bad\xfe.txt"));
        QVERIFY(makeFile(dir.filePath("ok.txt")));
        const QString shown = QStringLiteral("bad\uFFFD.txt");
        FileView view(m_french);
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(showFolder(view, dir.path()));
        QCOMPARE(view.itemNames(), (QStringList{shown, shown, "ok.txt"}));
        view.sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(view.model()->index(0, 1).data().toString(), QStringLiteral("3\u00a0Ko"));
        view.select({shown});
        // Their bytes tell them apart, in the order the names are shown.
        QCOMPARE(view.selectedNativeNames(), (QList<QByteArray>{"bad\xff.txt", "bad\xfe.txt"}));
        QCOMPARE(view.itemNativeNames().first(), QByteArray("bad\xff.txt"));

        QVERIFY(removeRaw(dir.path(), "bad\xff.txt"));
        QTRY_COMPARE(view.count(), 2);
        view.sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(view.itemNames(), (QStringList{shown, "ok.txt"}));

        // A folder whose name is not UTF-8 cannot be found again by its
        // shown name: the view says so and keeps the tree where it is.
        QVERIFY(makeRawFolder(dir.path(), "folder\xff"));
        QSignalSpy vanished(&view, &FileView::folderVanished);
        const QString badFolder = dir.path() + QStringLiteral("/folder\uFFFD");
        QVERIFY(showFolder(view, badFolder));
        QCOMPARE(view.count(), 0);
        QCOMPARE(view.message(), m_french.extra("BrowserBadName", badFolder));
        QCOMPARE(vanished.size(), 0);
    }

    // The main window names its controls for screen readers from its own
    // section of the language file; the controls' own names must give way.
    void accessibleNames()
    {
        test::TestProgram program(
            "[LANGUAGE]\nlanguage=Français\n[frmMain]\nTreeView1.ToolTipText=Arbre des dossiers\n"
            "ListView1.ToolTipText=Fichiers montrés\n[EXTRA]\nBrowserTreeName=Tree by itself\nBrowserViewName=View by itself\n");
        const lang::Language &language = program.context.language;
        QWidget window;
        window.setObjectName("frmMain");
        auto *tree = new FolderTree(language, &window);
        auto *view = new FileView(language, &window);
        QCOMPARE(tree->accessibleName(), QStringLiteral("Tree by itself"));
        QCOMPARE(view->accessibleName(), QStringLiteral("View by itself"));
        // The window's own names win, also when the browser translates itself again.
        lang::ui::TranslateForm(&window, language);
        tree->retranslate();
        view->retranslate();
        QCOMPARE(tree->accessibleName(), QStringLiteral("Arbre des dossiers"));
        QCOMPARE(view->accessibleName(), QString::fromUtf8("Fichiers montrés"));
    }
    void eachAddWithItsDuplicateRule_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("added");
        // Listed before: B/x.jpg and A/y.jpg. The current folder is A.
        QTest::newRow("selected: the name alone") << "cmdAdd" << QStringList{"A/w.jpg"};
        QTest::newRow("all: the name in the current folder") << "cmdAddAll" << QStringList{"A/w.jpg", "A/x.jpg"};
        QTest::newRow("hierarchy: the name alone") << "mnuAddHieriachy" << QStringList{"A/w.jpg", "A/sub/v.jpg"};
        QTest::newRow("drop: the name in the same folder") << "cmdDnD" << QStringList{"A/w.jpg", "A/x.jpg"};
    }

    void eachAddWithItsDuplicateRule()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, added);
        MainWindowFixture f;
        QVERIFY(makeFiles(f.folder.path(), {"A/w.jpg", "A/x.jpg", "A/y.jpg", "A/sub/v.jpg", "A/sub/y.jpg", "B/x.jpg"}));
        QVERIFY(f.openFolder(f.path("A"), 3));
        f.window->affiche_nom(f.path("B/x.jpg"));
        f.window->affiche_nom(f.path("A/y.jpg"));
        f.box.answers = {Yes};
        if (operation == QLatin1String("cmdAdd")) {
            f.window->ListView1().select(f.window->ListView1().itemNames());
            f.ui().cmdAdd->click();
        } else if (operation == QLatin1String("cmdAddAll")) {
            f.ui().cmdAddAll->click();
        } else if (operation == QLatin1String("mnuAddHieriachy")) {
            f.ui().mnuAddHieriachy->trigger();
            QCOMPARE(f.box.texts(), QStringList{f.message(52, "5")});
            QCOMPARE(f.box.shown[0].style, 36);
        } else {
            QVERIFY(dropOn(f.ui().cmdDnD, f.paths({"A/w.jpg", "A/x.jpg", "A/y.jpg"})));
            QTRY_COMPARE(f.window->fileList().count(), 4);
            // What is not a list of files is not taken.
            QMimeData text;
            text.setText(QStringLiteral("bonjour"));
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, {});
            QCoreApplication::sendEvent(f.ui().cmdDnD, &enter);
            QVERIFY(!enter.isAccepted());
        }
        QCOMPARE(f.paths(), f.paths(QStringList{"B/x.jpg", "A/y.jpg"} + added));
        QCOMPARE(f.ui().Label4->text(), f.message(19, QString::number(2 + added.size())));
        QVERIFY(f.ui().cmdAdd->isEnabled() && !f.ui().cmdStopAction->isVisible());
    }

    // The box's choice and the descending box reach the sort; the sorts are the engine's table.
    void sortButtonSortsByTheChosenKey()
    {
        MainWindowFixture f;
        for (const char *file : {"/A/b10.txt", "/A/b9.txt", "/A/a.txt"})
            f.window->affiche_nom(QLatin1String(file));
        f.ui().cboTri->setCurrentIndex(0);
        f.ui().cmdTrier->click();
        QCOMPARE(f.paths(), (QStringList{"/A/a.txt", "/A/b9.txt", "/A/b10.txt"}));
        f.ui().cboTri->setCurrentIndex(1);
        f.ui().chkTriDecroissant->setChecked(true);
        f.ui().cmdTrier->click();
        QCOMPARE(f.paths(), (QStringList{"/A/b9.txt", "/A/b10.txt", "/A/a.txt"}));
    }

    void dragOfOneEntryMovesIt()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("N_#"));
        for (const char *file : {"/A/a.txt", "/B/b.txt", "/A/c.txt"})
            f.window->affiche_nom(QLatin1String(file));
        QWidget *viewport = ui.lstrename->viewport();
        const auto rowCentre = [&](int row) { return ui.lstrename->visualRect(f.window->fileList().index(row, 0)).center(); };
        const auto dragTo = [&](int row) {
            QMimeData data;
            data.setData(QStringLiteral("application/x-tarvello-entry"), "0");
            QDragEnterEvent enter(rowCentre(row), Qt::MoveAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &enter);
            QDropEvent drop(rowCentre(row), Qt::MoveAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &drop);
            return drop.isAccepted();
        };
        // The drag runs while the button is held; its release drops.
        QTest::mousePress(viewport, Qt::LeftButton, {}, rowCentre(0));
        QVERIFY(dragTo(2));
        QCOMPARE(f.paths(), (QStringList{"/B/b.txt", "/A/c.txt", "/A/a.txt"}));
        QCOMPARE(f.newNames(), (QStringList{"N_1.txt", "N_2.txt", "N_3.txt"}));
        QCOMPARE(ui.lstrename->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(ui.lstrename->selectionModel()->selectedRows().first().row(), 2);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, rowCentre(0));

        // With more than one entry selected the press starts no drag.
        QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, rowCentre(0));
        QVERIFY(!dragTo(1));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ControlModifier, rowCentre(0));
        QCOMPARE(f.paths(), (QStringList{"/B/b.txt", "/A/c.txt", "/A/a.txt"}));
    }

    void screenReadersNameEveryControlAndReadTheListAsATable()
    {
        MainWindowFixture f;
        f.window->affiche_nom(QStringLiteral("/photos/IMG_0001.JPG"));
        f.window->affiche_nom(QStringLiteral("/photos/IMG_0002.JPG"));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(f.ui().lstrename);
        QCOMPARE(list->role(), QAccessible::Table);
        QAccessibleTableInterface *table = list->tableInterface();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->columnCount(), 3);
        QCOMPARE(table->cellAt(1, 0)->text(QAccessible::Name), QStringLiteral("IMG_0002.JPG"));
        QCOMPARE(table->cellAt(1, 1)->text(QAccessible::Name), f.window->fileList().entry(1).newName);
        QCOMPARE(table->columnDescription(1), f.message(15));
        QCOMPARE(table->columnDescription(2), f.context.language.extra(QStringLiteral("ConflictColumn")));
        QVERIFY(!list->text(QAccessible::Name).isEmpty());

        // Every named control, and the parts without a name of their own that
        // the accessibility bus shows all the same.
        const QList<QWidget *> unnamedParts = {f.ui().fileViews, f.ui().tipFrames, f.ui().cboRenommer->lineEdit()};
        for (int tip = 0; tip < f.ui().fAstuce.size(); ++tip) {
            f.ui().lstAstuce->setCurrentRow(tip);
            for (QWidget *w : f.window->findChildren<QWidget *>()) {
                const bool named = !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
                if (!(named || unnamedParts.contains(w)) || !w->isVisible())
                    continue;
                QAccessibleInterface *control = QAccessible::queryAccessibleInterface(w);
                QVERIFY2(control && !control->text(QAccessible::Name).trimmed().isEmpty(),
                         named ? qPrintable(w->objectName()) : w->metaObject()->className());
            }
        }
    }

    // The renamed entries leave the list and come back for the further
    // pass; the count, the title, the undo command and the rule boxes follow.
    void renamesEveryFileAndTheWindowFollows()
    {
        MainWindowFixture f;
        settings::Settings &s = f.context.settings;
        s.General_NombreFichierRenomme = 40;
        s.Option_RegleApresRenommage = 0;
        s.Option_RegleDebutApresRenommage = 0;
        s.Option_RegleDebutResetRenommage = 7;
        f.window->refreshTitle();
        const QString before = f.window->windowTitle();
        QVERIFY(!f.ui().cmdDefaire->isEnabled());
        f.ui().cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        f.ui().txtNbPasse->setText(QStringLiteral("1"));
        f.addFiles({"b.jpg", "a.jpg", "c.png"});
        f.ui().cmdRenommer->click();
        QCOMPARE(f.disk(), (QStringList{"Photo_001.jpg", "Photo_002.jpg", "Photo_003.png"}));
        QCOMPARE(f.window->fileList().entry(0).name, QStringLiteral("Photo_001.jpg"));
        QCOMPARE(f.ui().txtNbPasse->text(), QStringLiteral("0"));
        QCOMPARE(f.ui().Label4->text(), f.message(19, QStringLiteral("3")));
        QCOMPARE(s.General_NombreFichierRenomme, 43);
        QCOMPARE(f.window->windowTitle(), QString(before).replace(QStringLiteral("40"), QStringLiteral("43")));
        QCOMPARE(f.ui().cboRenommer->currentText(), QString());
        QCOMPARE(f.ui().txtDebut->text(), QStringLiteral("7"));
        QVERIFY(f.ui().cmdDefaire->isEnabled());
        QVERIFY(f.ui().cmdRenommer->isVisible() && !f.ui().ProgressBar1->isVisible());
        QVERIFY(f.box.shown.isEmpty());
    }

    // Passes the counter cannot count are refused before anything is renamed.
    void passesBeyondTheCounterRenameNothing()
    {
        MainWindowFixture f;
        f.ui().cboRenommer->setCurrentText(QStringLiteral("p_*"));
        f.addFiles({"a.txt"});
        f.ui().txtNbPasse->setText(QStringLiteral("99999"));
        f.ui().cmdRenommer->click();
        QCOMPARE(f.disk(), QStringList{"a.txt"});
        QCOMPARE(f.ui().txtNbPasse->text(), QStringLiteral("0"));
        QCOMPARE(f.box.texts(), QStringList{f.context.language.extra(QStringLiteral("OptionOutOfRange"), QStringLiteral("99999"))});
    }

    void theStopButtonAsksAndStopsBeforeTheNextFile()
    {
        MainWindowFixture f;
        f.ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        QStringList names;
        for (int i = 0; i < 50; ++i)
            names << QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        f.addFiles(names);
        f.box.answers = {Yes};
        bool renamingState = false;
        bool inputHeldBack = false;
        QTimer::singleShot(0, f.window.get(), [&] {
            renamingState = f.ui().cmdRenommerStop->isVisible() && f.ui().cmdRenommerStop->isEnabled()
                && !f.ui().cmdRenommer->isVisible() && !f.ui().cmdAdd->isEnabled() && f.ui().ProgressBar1->isVisible();
            // Neither a drop nor a double-click on an entry may change the list under the rename.
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(f.path(QStringLiteral("f00")))});
            QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(f.ui().cmdDnD, &enter);
            const QRect first = f.ui().lstrename->visualRect(f.window->fileList().index(0, 0));
            QTest::mouseDClick(f.ui().lstrename->viewport(), Qt::LeftButton, {}, first.center());
            inputHeldBack = !enter.isAccepted() && f.window->fileList().count() == 50;
            f.ui().cmdRenommerStop->click();
        });
        f.ui().cmdRenommer->click();
        QVERIFY(renamingState);
        QVERIFY(inputHeldBack);
        QCOMPARE(f.box.texts(), QStringList{f.message(20)});
        // Stopped before its first file: every file and entry as it was.
        QCOMPARE(f.disk(), names);
        QCOMPARE(f.window->fileList().count(), 50);
        QVERIFY(f.ui().cmdAdd->isEnabled());
    }

    void theListMarksConflictsAndCountsThem()
    {
        MainWindowFixture f;
        f.ui().chkAutoIncrement->setChecked(false);
        f.ui().cboRenommer->setCurrentText(QStringLiteral("same"));
        f.addFiles({"a.jpg", "b.jpg", "c.png"});
        QCOMPARE(f.ui().lblConflits->text(), widgetText(f.context.language.extra(QStringLiteral("ConflictCount"), QStringLiteral("2"))));
        filelist::FileList &list = f.window->fileList();
        QCOMPARE(list.data(list.index(1, 2), Qt::DisplayRole).toString(), f.context.language.extra(QStringLiteral("ConflictStatusDuplicate")));
        list.removeEntries({0});
        QVERIFY(f.ui().lblConflits->isHidden());
    }

    void theHistoryWindowUndoesAnEarlierRun()
    {
        MainWindowFixture f;
        f.ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        f.addFiles({"a", "b"});
        f.ui().cmdRenommer->click();
        f.ui().cboRenommer->setCurrentText(QStringLiteral("m_*"));
        f.addFiles({"c"});
        f.ui().cmdRenommer->click();
        QCOMPARE(f.disk(), (QStringList{"m_c", "n_a", "n_b"}));
        f.box.answers = {Yes};
        const auto outcome = test::onNextModal([](QWidget *window) {
            auto *runs = window->findChild<QTreeWidget *>(QStringLiteral("lstRuns"));
            QCOMPARE(runs->topLevelItemCount(), 2);
            runs->setCurrentItem(runs->topLevelItem(1));
            QCOMPARE(window->findChild<QTreeWidget *>(QStringLiteral("lstFiles"))->topLevelItemCount(), 2);
            test::clickButton(window, "cmdUndo");
            // The undo is on top now, and the undone run has nothing left to undo.
            QCOMPARE(runs->topLevelItemCount(), 3);
            runs->setCurrentItem(runs->topLevelItem(2));
            QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("cmdUndo"))->isEnabled());
            test::clickButton(window, "cmdClose");
        });
        f.ui().cmdHistorique->click();
        QVERIFY(outcome->seen && !outcome->stuck);
        QCOMPARE(f.disk(), (QStringList{"a", "b", "m_c"}));
        QCOMPARE(f.box.shown[0].text, widgetText(f.context.language.extra(QStringLiteral("HistoryUndoQuestion"), QStringLiteral("2"))));
    }

    void thePreviewShowsTheChosenPictureOrTheStandByPicture()
    {
        MainWindowFixture f;
        savePicture(f.path(QStringLiteral("red.jpg")), QSize(400, 200), Qt::red);
        QVERIFY(folderfixture::makeFiles(f.folder.path(), {QStringLiteral("notes.txt")}));
        QVERIFY(f.openFolder(f.folder.path(), 2));
        auto &ui = f.ui();
        browser::FileView &view = f.window->ListView1();
        ui.chkPreview->setChecked(true);
        // Nothing chosen yet.
        const QImage standBy(f.context.language.languageFolder() + QStringLiteral("/non_image.gif"));
        QCOMPARE(shown(ui.picturePreview), standBy.convertToFormat(shown(ui.picturePreview).format()));

        view.select({QStringLiteral("red.jpg")});
        QTest::keyRelease(&view, Qt::Key_Down);
        const auto red = [&] {
            const QImage image = shown(ui.picturePreview);
            const QColor centre = image.isNull() ? QColor() : QColor(image.pixel(image.width() / 2, image.height() / 2));
            return centre.red() > 200 && centre.green() < 60 && centre.blue() < 60;
        };
        QTRY_VERIFY(red());
        const QImage picture = shown(ui.picturePreview);
        QVERIFY(picture.width() <= ui.picturePreview->width() && picture.width() > picture.height());

        // A key that does not move the choice leaves the preview alone.
        view.select({QStringLiteral("notes.txt")});
        QTest::keyRelease(&view, Qt::Key_A);
        QTest::qWait(50);
        QCOMPARE(shown(ui.picturePreview), picture);
        QTest::keyRelease(&view, Qt::Key_Up);
        QTRY_COMPARE(shown(ui.picturePreview).size(), QSize(161, 121));

        // An entry of the rename list is previewed when pressed.
        f.window->affiche_nom(f.path(QStringLiteral("red.jpg")));
        QTest::mousePress(ui.lstrename->viewport(), Qt::LeftButton, {},
                          ui.lstrename->visualRect(f.window->fileList().index(0, 0)).center());
        QTRY_COMPARE(shown(ui.picturePreview), picture);

        ui.chkPreview->setChecked(false);
        QVERIFY(ui.picturePreview->pixmap().isNull());
        QCOMPARE(f.context.settings.General_VisualiserImage, 0);
    }

    void thumbnailsFollowTheFolderTheFilterAndRenames()
    {
        MainWindowFixture f;
        f.context.settings.thumbnailSizes[1] = {40, 30};
        f.context.settings.Option_TailleVignette = 1;
        savePicture(f.path(QStringLiteral("a.jpg")), QSize(400, 200), Qt::blue);
        savePicture(f.path(QStringLiteral("b.JPG")), QSize(100, 300), Qt::green);
        QVERIFY(folderfixture::makeFiles(f.folder.path(), {QStringLiteral("notes.txt")}));
        QVERIFY(f.openFolder(f.folder.path(), 3));
        auto &ui = f.ui();
        browser::FileView &view = f.window->ListView1();
        view.select({QStringLiteral("b.JPG")});

        ui.chkVignette->setChecked(true);
        QCOMPARE(ui.fileViews->currentWidget(), ui.ListView2);
        QCOMPARE(thumbnailNames(ui.ListView2), view.itemNames());
        QTRY_VERIFY(thumbnailsDrawn(ui.ListView2));
        const auto pictureOf = [&](const QString &name) {
            const QList<QListWidgetItem *> items = ui.ListView2->findItems(name, Qt::MatchExactly);
            return items.size() == 1 ? items.first()->icon().pixmap(QSize(40, 30)).toImage() : QImage();
        };
        // Each item is as high as its picture, though none had one when it was made.
        QVERIFY(ui.ListView2->visualItemRect(ui.ListView2->item(0)).height() > 30);
        QCOMPARE(pictureOf(QStringLiteral("a.jpg")).size(), QSize(40, 20));
        QCOMPARE(pictureOf(QStringLiteral("b.JPG")).size(), QSize(10, 30));
        QVERIFY(pictureOf(QStringLiteral("notes.txt")).size() != QSize(40, 20));
        // The choice goes across both ways.
        QCOMPARE(ui.ListView2->selectedItems().size(), 1);
        QCOMPARE(ui.ListView2->selectedItems().first()->text(), QStringLiteral("b.JPG"));
        ui.ListView2->clearSelection();
        ui.ListView2->findItems(QStringLiteral("a.jpg"), Qt::MatchExactly).first()->setSelected(true);

        ui.txtFilter->setText(QStringLiteral("*.jpg"));
        QCOMPARE(thumbnailNames(ui.ListView2), (QStringList{"a.jpg", "b.JPG"}));
        QCOMPARE(ui.ListView2->selectedItems().first()->text(), QStringLiteral("a.jpg"));

        // The program's rename and a rename behind its back both show.
        f.window->affiche_nom(f.path(QStringLiteral("a.jpg")));
        ui.cboRenommer->setCurrentText(QStringLiteral("sea"));
        f.window->update_names();
        f.window->cmdRenommer_Click();
        QVERIFY(QFile::exists(f.path(QStringLiteral("sea.jpg"))));
        QTRY_COMPARE(thumbnailNames(ui.ListView2), (QStringList{"b.JPG", "sea.jpg"}));
        QVERIFY(QFile::rename(f.path(QStringLiteral("b.JPG")), f.path(QStringLiteral("c.jpg"))));
        QTRY_COMPARE(thumbnailNames(ui.ListView2), (QStringList{"c.jpg", "sea.jpg"}));
        QTRY_VERIFY(thumbnailsDrawn(ui.ListView2));
        QCOMPARE(pictureOf(QStringLiteral("c.jpg")).size(), QSize(10, 30));

        ui.chkVignette->setChecked(false);
        QCOMPARE(ui.fileViews->currentWidget(), &view);
        QCOMPARE(view.selectedNames(), QStringList{"sea.jpg"});
    }
};

QTEST_MAIN(tst_filelist)
#include "tst_filelist.moc"
