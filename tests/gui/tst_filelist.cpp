// The file list of the main window: each add with its duplicate rule, the drag of
// one entry, and the list as screen readers see it.

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
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
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
};

QTEST_MAIN(tst_filelist)
#include "tst_filelist.moc"
