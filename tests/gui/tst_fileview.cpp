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
};

QTEST_MAIN(tst_fileview)
#include "tst_fileview.moc"
