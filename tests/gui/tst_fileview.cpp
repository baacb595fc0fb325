#include "browser/FileView.h"
#include "support/FolderFixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <random>

using tarvello::browser::FileView;
using namespace folderfixture;

class tst_fileview : public QObject
{
    Q_OBJECT

private:
    // Shows the folder and waits for its listing to end.
    static bool showFolder(FileView &view, const QString &folder)
    {
        view.setFolder(folder);
        return QTest::qWaitFor([&view] { return !view.isListing(); }, 10000);
    }

    // Shows the view in a window of its own on the folder, for tests that
    // click and type.
    static bool showOnScreen(FileView &view, const QString &folder)
    {
        view.resize(400, 300);
        view.show();
        return QTest::qWaitForWindowExposed(&view) && showFolder(view, folder);
    }

    static void clickRow(FileView &view, int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect rect = view.visualRect(view.model()->index(row, 0));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, rect.center());
    }


    tarvello::lang::Language m_language = french();
    QTemporaryDir m_patterns;
    std::unique_ptr<FileView> m_patternView;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_patterns.isValid());
        QVERIFY(makeFiles(m_patterns.path(), {"PHOTO.JPG", "photo.png", "notes.txt", "README", ".hidden",
                                              "img1.jpg", "a.txt", "b.TXT"}));
        m_patternView = std::make_unique<FileView>(m_language);
        QVERIFY(showFolder(*m_patternView, m_patterns.path()));
    }

    void cleanupTestCase() { m_patternView.reset(); }

    void patternMatching_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("expected");
        // What each pattern takes is the display filter's; the view follows it.
        QTest::newRow("lower-case pattern takes an upper-case name")
            << "*.jpg" << QStringList{"img1.jpg", "PHOTO.JPG"};
        QTest::newRow("* takes every file, hidden ones too")
            << "*" << QStringList{".hidden", "a.txt", "b.TXT", "img1.jpg", "notes.txt", "PHOTO.JPG", "photo.png", "README"};
        QTest::newRow("several patterns") << "*.png *.TXT" << QStringList{"a.txt", "b.TXT", "notes.txt", "photo.png"};
        QTest::newRow("no pattern shows nothing") << "" << QStringList{};
    }

    // One view for every row: setting Pattern must refresh what it shows.
    void patternMatching()
    {
        FileView &view = *m_patternView;
        QFETCH(QString, pattern);
        QFETCH(QStringList, expected);
        view.setPattern(pattern);
        QCOMPARE(view.pattern(), pattern);
        QCOMPARE(view.itemNames(), expected);
        QCOMPARE(view.count(), expected.size());
    }

    void listsFilesOnly()
    {
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath("file.txt")));
        QVERIFY(QDir(dir.path()).mkpath("folder.d/inner"));
        QVERIFY(QFile::link(dir.filePath("folder.d"), dir.filePath("link-to-folder.d")));
        QVERIFY(QFile::link(dir.filePath("file.txt"), dir.filePath("link-to-file.txt")));
        QVERIFY(QFile::link(dir.filePath("nowhere.txt"), dir.filePath("dangling.txt")));
        FileView view(m_language);
        QVERIFY(showFolder(view, dir.path()));
        QCOMPARE(view.itemNames(), (QStringList{"dangling.txt", "file.txt", "link-to-file.txt"}));
        QVERIFY(view.message().isEmpty());
    }

    // A folder bigger than the first batches: the batches merge into one
    // sorted list, names with numbers in the order people count.
    void largeFolderArrivesInOrder()
    {
        QTemporaryDir dir;
        constexpr int files = 3000;
        std::vector<int> numbers(files);
        std::iota(numbers.begin(), numbers.end(), 1);
        std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
        for (const int n : numbers)
            QVERIFY(makeFile(dir.filePath(QStringLiteral("f%1.txt").arg(n))));
        QStringList expected;
        for (int n = 1; n <= files; ++n)
            expected.append(QStringLiteral("f%1.txt").arg(n));

        FileView view(m_language);
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy counts(&view, &FileView::countChanged);
        QVERIFY(showFolder(view, dir.path()));
        QCOMPARE(view.itemNames(), expected);
        QVERIFY2(counts.size() > 1, "the files should arrive in several batches");
        QCOMPARE(counts.last().at(0).toInt(), files);
    }

    void sorting_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QStringList>("expected");
        const auto up = Qt::AscendingOrder;
        const auto down = Qt::DescendingOrder;
        QTest::newRow("name") << 0 << up << QStringList{"a.txt", "b.txt", "c.txt", "D.dat", "file2.txt", "file10.txt"};
        QTest::newRow("size, equal sizes by name") << 1 << up << QStringList{"file2.txt", "file10.txt", "a.txt", "c.txt", "b.txt", "D.dat"};
        QTest::newRow("size, descending") << 1 << down << QStringList{"D.dat", "b.txt", "c.txt", "a.txt", "file10.txt", "file2.txt"};
        QTest::newRow("type") << 2 << up << QStringList{"D.dat", "a.txt", "b.txt", "c.txt", "file2.txt", "file10.txt"};
        QTest::newRow("date") << 3 << up << QStringList{"D.dat", "file10.txt", "b.txt", "c.txt", "a.txt", "file2.txt"};
    }

    void sorting()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QDateTime base(QDate(2021, 3, 14), QTime(9, 0));
        QVERIFY(makeFile(dir.filePath("b.txt"), 3000, base.addSecs(3600)));
        QVERIFY(makeFile(dir.filePath("a.txt"), 1000, base.addSecs(3 * 3600)));
        QVERIFY(makeFile(dir.filePath("c.txt"), 1000, base.addSecs(2 * 3600)));
        QVERIFY(makeFile(dir.filePath("D.dat"), 20000, base));
        QVERIFY(makeFile(dir.filePath("file2.txt"), 10, base.addDays(1)));
        QVERIFY(makeFile(dir.filePath("file10.txt"), 10, base.addSecs(60)));
        FileView view(m_language);
        QVERIFY(showFolder(view, dir.path()));
        view.sortByColumn(column, order);
        QCOMPARE(view.itemNames(), expected);
    }

    // Numbers by value, fewer leading zeros first among equal values,
    // accents and case set aside but still telling names apart.
    void nameOrder()
    {
        QTemporaryDir dir;
        const QStringList expected{"e.txt", "é.txt", "f.txt", "IMG1.jpg", "img1a.jpg", "img1b.jpg",
                                   "img9.jpg", "img09.jpg", "img010.jpg", "x02y9", "x2y10"};
        QStringList shuffled = expected;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
        QVERIFY(makeFiles(dir.path(), shuffled));
        FileView view(m_language);
        view.setPattern("*");
        QVERIFY(showFolder(view, dir.path()));
        QCOMPARE(view.itemNames(), expected);
    }

    void selectionInViewOrder()
    {
        QTemporaryDir dir;
        QVERIFY(makeFiles(dir.path(), {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}));
        FileView view(m_language);
        QVERIFY(showOnScreen(view, dir.path()));

        clickRow(view, 4);
        clickRow(view, 1, Qt::ControlModifier);
        clickRow(view, 3, Qt::ControlModifier);
        QCOMPARE(view.selectedNames(), (QStringList{"b.txt", "d.txt", "e.txt"}));
        clickRow(view, 3, Qt::ControlModifier);
        QCOMPARE(view.selectedNames(), (QStringList{"b.txt", "e.txt"}));
        clickRow(view, 0);
        clickRow(view, 2, Qt::ShiftModifier);
        QCOMPARE(view.selectedNames(), (QStringList{"a.txt", "b.txt", "c.txt"}));

        view.sortByColumn(0, Qt::DescendingOrder);
        QCOMPARE(view.selectedNames(), (QStringList{"c.txt", "b.txt", "a.txt"}));

        view.select({"e.txt", "a.txt", "absent.txt"});
        QCOMPARE(view.selectedNames(), (QStringList{"e.txt", "a.txt"}));
        view.select({});
        QVERIFY(view.selectedNames().isEmpty());
    }

    // Files created, removed and renamed in the folder show without a
    // refresh, and the selection of the files that stayed is kept.
    void followsChangesOnDisk()
    {
        QTemporaryDir dir;
        QVERIFY(makeFiles(dir.path(), {"a.txt", "b.txt", "keep.txt"}));
        FileView view(m_language);
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy counts(&view, &FileView::countChanged);
        QVERIFY(showFolder(view, dir.path()));
        view.select({"keep.txt"});

        QVERIFY(makeFile(dir.filePath("c.txt")));
        QVERIFY(QFile::remove(dir.filePath("a.txt")));
        QVERIFY(QFile::rename(dir.filePath("b.txt"), dir.filePath("z.txt")));
        QTRY_COMPARE(view.itemNames(), (QStringList{"c.txt", "keep.txt", "z.txt"}));
        QCOMPARE(view.selectedNames(), QStringList{"keep.txt"});

        QVERIFY(QFile::remove(dir.filePath("c.txt")));
        QTRY_COMPARE(view.count(), 2);
        QCOMPARE(counts.last().at(0).toInt(), 2);
        QCOMPARE(view.selectedNames(), QStringList{"keep.txt"});
    }

    // Many scattered files vanishing at once take another road through the
    // model (one reset); the selection must survive it as well.
    void manyScatteredRemovals()
    {
        QTemporaryDir dir;
        QStringList selected;
        QStringList kept;
        for (int n = 0; n < 200; ++n) {
            const QString name = QStringLiteral("n%1.txt").arg(n);
            QVERIFY(makeFile(dir.filePath(name)));
            if (n % 10 == 0)
                selected.append(name);
            if (n % 2 == 0 || n >= 160)
                kept.append(name);
        }
        FileView view(m_language);
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(showFolder(view, dir.path()));
        view.select(selected);
        for (int n = 1; n < 160; n += 2)
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("n%1.txt").arg(n))));
        QTRY_COMPARE(view.itemNames(), kept);
        QCOMPARE(view.selectedNames(), selected);
    }

    void unreadableFolder()
    {
        QTemporaryDir dir;
        const QString locked = makeLockedFolder(dir.path(), "locked");
        if (locked.isEmpty())
            QSKIP("folder permissions do not bind here");
        FileView view(m_language);
        QVERIFY(showFolder(view, locked));
        unlockFolder(locked);
        QCOMPARE(view.count(), 0);
        QCOMPARE(view.message(),
                 m_language.extra("BrowserUnreadable", locked).replace("\r\n", "\n"));
        QVERIFY(view.message().contains(locked));
        QVERIFY(view.findChild<QLabel *>()->isVisibleTo(&view));

        // Readable again: a refresh lists it and the message goes.
        view.refresh();
        QTRY_COMPARE(view.itemNames(), QStringList{"inside.txt"});
        QVERIFY(view.message().isEmpty());
    }

    void vanishedFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("gone");
        QVERIFY(makeFile(folder + "/a.txt"));
        FileView view(m_language);
        QSignalSpy vanished(&view, &FileView::folderVanished);
        QVERIFY(showFolder(view, folder));
        QCOMPARE(view.count(), 1);
        QVERIFY(QDir(folder).removeRecursively());
        QTRY_COMPARE(vanished.size(), 1);
        QCOMPARE(vanished.at(0).at(0).toString(), folder);
        QCOMPARE(view.count(), 0);
        QCOMPARE(view.message(), m_language.extra("BrowserVanished", folder));

        // Back again: asked for once more, it is listed (not taken as shown).
        QVERIFY(makeFile(folder + "/back.txt"));
        QVERIFY(showFolder(view, folder));
        QCOMPARE(view.itemNames(), QStringList{"back.txt"});
        QVERIFY(view.message().isEmpty());

        // Set straight on a folder that is not there: the same, no crash.
        QVERIFY(showFolder(view, dir.filePath("never")));
        QCOMPARE(view.count(), 0);
        QCOMPARE(vanished.size(), 2);
        QCOMPARE(vanished.at(1).at(0).toString(), dir.filePath("never"));
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
        FileView view(m_language);
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(showFolder(view, dir.path()));
        QCOMPARE(view.itemNames(), (QStringList{shown, shown, "ok.txt"}));
        view.sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(view.model()->index(0, 1).data().toString(), QStringLiteral("3\u00a0Ko"));
        view.select({shown});
        QCOMPARE(view.selectedNames(), (QStringList{shown, shown}));
        // Their bytes tell them apart, in the order the names are shown.
        QCOMPARE(view.selectedNativeNames(), (QList<QByteArray>{"bad\xff.txt", "bad\xfe.txt"}));
        const QList<QByteArray> bytes = view.itemNativeNames();
        QCOMPARE(bytes.size(), 3);
        QCOMPARE(bytes.first(), QByteArray("bad\xff.txt"));
        for (int row = 0; row < 3; ++row)
            QCOMPARE(QFile::decodeName(bytes.at(row)), view.itemNames().at(row));

        QVERIFY(removeRaw(dir.path(), "bad\xff.txt"));
        QTRY_COMPARE(view.count(), 2);
        view.sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(view.itemNames(), (QStringList{shown, "ok.txt"}));
        QCOMPARE(view.model()->index(0, 1).data().toString(), QStringLiteral("0\u00a0Ko"));

        // A folder whose name is not UTF-8 cannot be found again by its
        // shown name: the view says so and keeps the tree where it is.
        QVERIFY(makeRawFolder(dir.path(), "folder\xff"));
        QSignalSpy vanished(&view, &FileView::folderVanished);
        const QString badFolder = dir.path() + QStringLiteral("/folder\uFFFD");
        QVERIFY(showFolder(view, badFolder));
        QCOMPARE(view.count(), 0);
        QCOMPARE(view.message(), m_language.extra("BrowserBadName", badFolder));
        QCOMPARE(vanished.size(), 0);
    }

    void signalsReachTheMainWindow()
    {
        QTemporaryDir dir;
        QVERIFY(makeFiles(dir.path(), {"a.txt", "b.txt", "c.txt"}));
        FileView view(m_language);
        QVERIFY(showOnScreen(view, dir.path()));
        QSignalSpy doubleClicked(&view, &FileView::itemDoubleClicked);
        QSignalSpy clicked(&view, &FileView::viewClicked);
        QSignalSpy released(&view, &FileView::keyReleased);
        QSignalSpy added(&view, &FileView::addRequested);

        const QPoint second = view.visualRect(view.model()->index(1, 0)).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, second);
        QCOMPARE(doubleClicked.size(), 1);
        QCOMPARE(doubleClicked.at(0).at(0).toString(), QStringLiteral("b.txt"));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second);
        QVERIFY(clicked.size() >= 1);

        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(released.size(), 1);
        QCOMPARE(released.at(0).at(0).toInt(), int(Qt::Key_Down));
        QCOMPARE(view.selectedNames(), QStringList{"c.txt"});

        clickRow(view, 0, Qt::ControlModifier);
        QTimer::singleShot(0, this, [] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                menu->setActiveAction(menu->actions().first());
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view.viewport(), &event);
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0).at(0).toStringList(), (QStringList{"a.txt", "c.txt"}));
    }
};

QTEST_MAIN(tst_fileview)
#include "tst_fileview.moc"
