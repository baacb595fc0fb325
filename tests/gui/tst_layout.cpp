#include "browser/FileView.h"
#include "browser/FolderFilesModel.h"
#include "support/MainWindowFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QtTest>

using namespace tarvello;
using test::MainWindowFixture;

// The main window at its smallest size, which is also its size on a first
// start, in both languages the program comes with.
class tst_layout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTextIsWholeAtTheSmallestSize_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("French") << QStringLiteral("Français");
        QTest::newRow("English") << QStringLiteral("English");
    }

    void everyTextIsWholeAtTheSmallestSize()
    {
        QFETCH(QString, language);
        MainWindowFixture f;
        f.context.language.setLanguage(language);
        f.openWindow();
        f.window->resize(f.window->minimumSize());
        f.addFiles({QStringLiteral("Canon_EOS_40D_0001.jpg")});
        QVERIFY(f.openFolder(f.folder.path(), 1));
        auto &ui = f.ui();
        // The largest count a folder is likely to show.
        ui.Label2->setText(f.message(18, QStringLiteral("5000")));
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCoreApplication::processEvents();

        QStringList cut;
        for (QWidget *w : f.window->centralWidget()->findChildren<QWidget *>()) {
            const bool text = qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w);
            if (!text || !w->isVisibleTo(f.window.get()) || w->minimumSize() == w->maximumSize()
                || w->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
                continue;
            const bool whole = w->hasHeightForWidth() ? w->height() >= w->heightForWidth(w->width())
                                                      : w->width() >= w->sizeHint().width();
            if (!whole)
                cut << w->objectName();
        }
        QCOMPARE(cut, QStringList());
        QVERIFY(ui.Label2->height() < 2 * ui.Label2->fontMetrics().lineSpacing());

        // The file view shows a camera's name and the file's size side by side.
        browser::FileView &view = f.window->ListView1();
        const int size = browser::FolderFilesModel::SizeColumn;
        QVERIFY(view.header()->sectionViewportPosition(size) + view.header()->sectionSize(size) <= view.viewport()->width());
        QVERIFY(view.header()->sectionSize(browser::FolderFilesModel::NameColumn)
                >= view.fontMetrics().horizontalAdvance(QStringLiteral("Canon_EOS_40D_0001.jpg")));
    }

    void nameColumnsFollowTheWindowUntilSizedByHand()
    {
        MainWindowFixture f;
        QTableView *list = f.ui().lstrename;
        f.window->resize(f.window->minimumSize());
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const int narrow = list->columnWidth(0);
        f.window->resize(f.window->minimumWidth() + 300, f.window->minimumHeight());
        QVERIFY(QTest::qWaitFor([&] { return list->columnWidth(0) > narrow; }, 2000));
        QCOMPARE(list->columnWidth(1), list->columnWidth(0));

        list->horizontalHeader()->resizeSection(0, 90);
        f.window->resize(f.window->minimumSize());
        QTest::qWait(50);
        QCOMPARE(list->columnWidth(0), 90);
    }
};

QTEST_MAIN(tst_layout)
#include "tst_layout.moc"
