// The file list of the main window on temporary folder trees: each add with
// its duplicate rule, the questions before folders are added, moves and the
// drag of one entry, a long add stopped with Escape, input refused meanwhile,
// names that are not text, and the list as screen readers see it.

#include "browser/FolderTree.h"
#include "mainwindow/frmMain.h"
#include "support/FolderFixture.h"
#include "support/MainWindowFixture.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtTest>

using namespace tarvello;
using namespace folderfixture;
using test::MainWindowFixture;

namespace {

constexpr int Yes = lang::MsgAnswer::Yes;
constexpr int No = lang::MsgAnswer::No;

// Drops the paths on cmdDnD as a file manager would; true when the drop was taken.
bool dropOn(QWidget *target, const QList<QByteArray> &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QByteArray &path : paths)
        urls.append(QUrl(QStringLiteral("file://") + QString::fromLatin1(path.toPercentEncoding("/"))));
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

QList<QByteArray> bytesOf(const QStringList &paths)
{
    QList<QByteArray> all;
    for (const QString &path : paths)
        all.append(QFile::encodeName(path));
    return all;
}

} // namespace

class tst_filelist : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
            QVERIFY(dropOn(f.ui().cmdDnD, bytesOf(f.paths({"A/w.jpg", "A/x.jpg", "A/y.jpg"}))));
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
        QVERIFY(f.ui().cmdAdd->isEnabled());
        QVERIFY(!f.ui().cmdStopAction->isVisible());
    }

    // The filter box reaches the settings, the view and the hierarchy, and
    // survives a refresh; the question and its answers are the controller's.
    void theFilterReachesTheViewAndTheHierarchy()
    {
        MainWindowFixture f;
        QVERIFY(makeFiles(f.folder.path(), {"full/PHOTO.JPG", "full/notes.txt"}));
        QVERIFY(f.openFolder(f.path("full"), 2));
        f.ui().txtFilter->setText(QStringLiteral("*.jpg"));
        QCOMPARE(f.context.settings.General_FiltreAffichage, QStringLiteral("*.jpg"));
        QTRY_COMPARE(f.window->ListView1().itemNames(), QStringList{"PHOTO.JPG"});
        f.ui().cmdRefresh->click();
        QCOMPARE(f.ui().txtFilter->text(), QStringLiteral("*.jpg"));
        f.box.answers = {Yes};
        f.ui().mnuAddHieriachy->trigger();
        QCOMPARE(f.box.texts(), QStringList{f.message(52, "1")});
        QCOMPARE(f.paths(), f.paths({"full/PHOTO.JPG"}));
    }

    void movesKeepRunsTogetherAndBlockAtTheEnds()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("N_#"));
        for (const char *file : {"/A/a.txt", "/B/b.txt", "/A/c.txt", "/B/d.txt", "/A/e.txt"})
            f.window->affiche_nom(QLatin1String(file));
        // A rule typed but not yet applied shows whether a move recomputed.
        ui.cboRenommer->setEditText(QStringLiteral("M_#"));
        f.window->selectRows({0, 2});
        ui.cmdUp->click();
        QCOMPARE(f.paths(), (QStringList{"/A/a.txt", "/B/b.txt", "/A/c.txt", "/B/d.txt", "/A/e.txt"}));
        QCOMPARE(f.newNames().first(), QStringLiteral("N_1.txt"));

        f.window->selectRows({1, 2, 3});
        ui.cmdUp->click();
        QCOMPARE(f.paths(), (QStringList{"/B/b.txt", "/A/c.txt", "/B/d.txt", "/A/a.txt", "/A/e.txt"}));
        QCOMPARE(f.newNames(), (QStringList{"M_1.txt", "M_2.txt", "M_3.txt", "M_4.txt", "M_5.txt"}));
        QList<int> selected;
        for (const QModelIndex &index : ui.lstrename->selectionModel()->selectedRows())
            selected.append(index.row());
        std::sort(selected.begin(), selected.end());
        QCOMPARE(selected, (QList<int>{0, 1, 2}));

        f.window->selectRows({1, 4});
        ui.cmdDown->click();
        QCOMPARE(f.paths().first(), QStringLiteral("/B/b.txt"));
        QCOMPARE(f.paths().at(1), QStringLiteral("/A/c.txt"));

        // Clearing starts the numbering of identical names afresh.
        ui.cboRenommer->setEditText(QStringLiteral("Same"));
        ui.cmdClear->click();
        QCOMPARE(ui.Label4->text(), f.message(19, "0"));
        f.window->addFromExplorer({"/A/a.txt", QString(), "/A/a.txt"});
        QCOMPARE(f.newNames(), (QStringList{"Same.txt", "Same_1.txt"}));
    }

    // Each choice of the box sorts by its own key; the counter follows.
    void sortButtonSortsByTheChosenKeyAndRenumbers()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("N_#"));
        for (const char *file : {"/A/b10.txt", "/A/b9.txt", "/A/a.txt"})
            f.window->affiche_nom(QLatin1String(file));
        QCOMPARE(ui.cboTri->count(), 5);
        ui.cboTri->setCurrentIndex(0);
        ui.cmdTrier->click();
        QCOMPARE(f.paths(), (QStringList{"/A/a.txt", "/A/b9.txt", "/A/b10.txt"}));
        QCOMPARE(f.newNames(), (QStringList{"N_1.txt", "N_2.txt", "N_3.txt"}));
        ui.cboTri->setCurrentIndex(1);
        ui.chkTriDecroissant->setChecked(true);
        ui.cmdTrier->click();
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

    void aDragOnlyStartsFromAnEntryTheListStillHolds_data()
    {
        QTest::addColumn<bool>("clickFirst");
        QTest::addColumn<bool>("emptyTheList");
        QTest::addColumn<bool>("pressBelowTheRows");
        QTest::newRow("clicked, list emptied, press on the empty list") << true << true << true;
        QTest::newRow("list emptied while the button is held") << false << true << false;
        QTest::newRow("clicked, press below the rows") << true << false << true;
    }

    void aDragOnlyStartsFromAnEntryTheListStillHolds()
    {
        QFETCH(bool, clickFirst);
        QFETCH(bool, emptyTheList);
        QFETCH(bool, pressBelowTheRows);
        MainWindowFixture f;
        auto &ui = f.ui();
        for (const char *file : {"/A/a.txt", "/B/b.txt", "/A/c.txt"})
            f.window->affiche_nom(QLatin1String(file));
        const QStringList before = f.paths();
        QWidget *viewport = ui.lstrename->viewport();
        const QPoint onFirst = ui.lstrename->visualRect(f.window->fileList().index(0, 0)).center();
        const QPoint belowRows(onFirst.x(), viewport->height() - 4);
        QVERIFY(ui.lstrename->rowAt(belowRows.y()) < 0);

        if (clickFirst)
            QTest::mouseClick(viewport, Qt::LeftButton, {}, onFirst);
        else
            QTest::mousePress(viewport, Qt::LeftButton, {}, onFirst);
        if (emptyTheList)
            ui.cmdClear->click();
        const QPoint from = pressBelowTheRows ? belowRows : onFirst;
        if (pressBelowTheRows)
            QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        // A drag started by mistake would wait for a drop: this ends it.
        bool started = false;
        QTimer::singleShot(0, viewport, [&] {
            started = ui.lstrename->findChild<QDrag *>() != nullptr;
            QDrag::cancel();
        });
        QTest::mouseMove(viewport, from - QPoint(0, 100));
        QTest::mouseMove(viewport, from - QPoint(0, 110));
        QCoreApplication::processEvents();
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from - QPoint(0, 110));
        QVERIFY(!started);
        QVERIFY(!ui.lstrename->findChild<QDrag *>());
        QCOMPARE(f.paths(), emptyTheList ? QStringList() : before);
    }

    // During a long add only the stop button acts and input that would change
    // the list is refused; Escape, once confirmed, stops after the current file.
    void aLongAddStopsOnEscape()
    {
        MainWindowFixture f;
        const int files = 6000;
        for (int i = 0; i < files; ++i)
            QVERIFY(makeFile(f.path(QStringLiteral("many/f%1.txt").arg(i, 5, 10, QLatin1Char('0')))));
        QVERIFY(makeFile(f.path("other/o.txt")));
        auto &ui = f.ui();
        QVERIFY(f.openFolder(f.path("many"), files));
        // A rule that reads each file's date: the add lasts long enough to be stopped.
        ui.cboRenommer->setEditText(QStringLiteral("$DA$-$DM$-$DJ$ $Dh$$Dm$$Ds$ *"));
        f.box.answers = {Yes};
        bool checked = false;
        int listedAtCheck = -1;
        connect(ui.ProgressBar1, &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0 || checked)
                return;
            checked = true;
            QVERIFY(f.window->isBusy());
            QVERIFY(ui.cmdStopAction->isVisible() && ui.cmdStopAction->isEnabled());
            const QList<QWidget *> off = {ui.cmdAdd, ui.cmdAddAll, ui.cmdDel,  ui.cmdClear,
                                          ui.cmdUp,  ui.cboRenommer, ui.txtFilter, &f.window->TreeView1()};
            for (QWidget *w : off)
                QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
            listedAtCheck = f.window->fileList().count();
            QVERIFY(!dropOn(ui.cmdDnD, bytesOf({f.path("other/o.txt")})));
            f.window->addFromExplorer({f.path("other/o.txt")});
            emit f.window->ListView1().addRequested({QStringLiteral("f00000.txt")});
            f.window->selectRows({0});
            emit ui.lstrename->doubleClicked(f.window->fileList().index(0, 0));
            ui.ListView2->addItem(QStringLiteral("o.txt"));
            ui.ListView2->item(0)->setSelected(true);
            emit ui.ListView2->itemDoubleClicked(ui.ListView2->item(0));
            QCOMPARE(f.window->fileList().count(), listedAtCheck);
            // Escape, then enough time for the watch to look before the next break.
            QCoreApplication::postEvent(f.window.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
            QThread::msleep(150);
        });
        ui.cmdAddAll->click();
        QVERIFY(checked);
        QCOMPARE(f.box.texts(), QStringList{f.message(20)});
        QCOMPARE(f.box.shown[0].title, f.message(1));
        const QStringList added = f.paths();
        QVERIFY2(added.size() > 0 && added.size() < files, qPrintable(QString::number(added.size())));
        QStringList expected;
        for (const QString &name : f.window->ListView1().itemNames().mid(0, added.size()))
            expected.append(f.path(QStringLiteral("many/") + name));
        QCOMPARE(added, expected);
        QVERIFY(!f.window->findChild<QTimer *>(QStringLiteral("Timer_Escape"))->isActive());
        QVERIFY(ui.cmdAdd->isEnabled());
    }

    // A file whose name is not text goes into the list, marked; a folder
    // whose name is not text is still left out and named.
    void namesThatAreNotTextAreListedAndMarkedFoldersLeftOut()
    {
        MainWindowFixture f;
        QVERIFY(makeFiles(f.folder.path(), {"odd/ok.jpg"}));
        QVERIFY(makeRawFile(f.path("odd"), "caf\xe9.jpg"));
        QVERIFY(makeRawFolder(f.path("odd"), "bad\xff"));
        const auto cleanUp = qScopeGuard([&f] {
            removeRaw(f.path("odd"), "caf\xe9.jpg");
            removeRaw(f.path("odd"), "bad\xff");
        });
        QVERIFY(f.openFolder(f.path("odd"), 2));
        f.ui().cmdAddAll->click();
        QVERIFY(f.box.texts().isEmpty());
        QCOMPARE(f.window->fileList().count(), 2);
        const QModelIndex marked = f.window->fileList().index(0, 0);
        QCOMPARE(marked.data().toString(), QStringLiteral("caf\uFFFD.jpg ")
                                               + f.context.language.extra(QStringLiteral("ListNotTextMark")));
        QVERIFY(marked.data(Qt::ToolTipRole).toString().contains(QStringLiteral("café.jpg")));
        const QByteArray odd = QFile::encodeName(f.path("odd"));
        QVERIFY(dropOn(f.ui().cmdDnD, {odd + "/caf\xe9.jpg", odd + "/bad\xff"}));
        const QString shown = f.path(QStringLiteral("odd/bad\uFFFD"));
        QTRY_COMPARE(f.box.texts(), QStringList{lang::ui::widgetText(f.context.language.extra("AddNotText", shown, "%s"))});
        QCOMPARE(f.window->fileList().count(), 2);
    }

    void screenReadersNameEveryControlAndReadTheListAsATable()
    {
        MainWindowFixture f;
        f.window->affiche_nom(QStringLiteral("/photos/IMG_0001.JPG"));
        f.window->affiche_nom(QStringLiteral("/photos/IMG_0002.JPG"));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(f.ui().lstrename);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::Table);
        QAccessibleTableInterface *table = list->tableInterface();
        QVERIFY(table);
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

    void commandsOfTheWindow()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        f.context.exifCache.append(QStringLiteral("/a.jpg"), {});
        f.box.answers = {No, Yes};
        ui.cmdEffacerExif->click();
        QCOMPARE(f.context.exifCache.count(), 1);
        ui.cmdEffacerExif->click();
        QCOMPARE(f.context.exifCache.count(), 0);
        QCOMPARE(f.box.texts(), (QStringList{f.message(60), f.message(60), f.message(61)}));
        QCOMPARE(f.box.shown[2].style, 64);

        // The add-all button's menu opens at its left edge, just below it.
        emit ui.cmdAddAll->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(ui.mnuPopup->isVisible());
        QCOMPARE(ui.mnuPopup->pos(), ui.cmdAddAll->mapToGlobal(QPoint(0, ui.cmdAddAll->height())));
        ui.mnuPopup->hide();

        // The file count follows the view on its own, twice a second.
        QVERIFY(makeFiles(f.folder.path(), {"three/a.txt", "three/b.txt", "three/c.txt"}));
        QVERIFY(f.openFolder(f.path("three"), 3));
        QTRY_COMPARE(ui.Label2->text(), f.message(18, "3"));
    }
};

QTEST_MAIN(tst_filelist)
#include "tst_filelist.moc"
