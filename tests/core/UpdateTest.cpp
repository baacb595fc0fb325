#include "QtPrint.h"
#include "tests/support/LocalHttpServer.h"
#include "update/PackageDownload.h"
#include "update/Site.h"
#include "update/UpdateCheck.h"
#include "update/Version.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using namespace tarvello::update;
using tarvello::test::LocalHttpServer;

// Lets the event loop run until the condition holds; false when it still
// does not after a generous while (a hang fails instead of blocking).
bool runUntil(const std::function<bool()> &condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 20000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

TEST(UpdateVersion, versionsCompareByTheirNumbers)
{
    struct Case {
        const char *announced;
        const char *running;
        int expected;
    };
    for (const Case &c : {Case{"1.13.10", "1.13.9", 1}, Case{"1.9", "1.10", -1}, Case{"1.13", "1.13.0", 0},
                          Case{"v1.14.0", "1.13.0", 1}, Case{"  2\n", "1.99.99", 1}, Case{"1.13.0.1", "1.13", 1}}) {
        const VersionNumbers announced = parseVersion(QString::fromLatin1(c.announced));
        ASSERT_FALSE(announced.isEmpty()) << c.announced;
        EXPECT_EQ(compareVersions(announced, parseVersion(QString::fromLatin1(c.running))), c.expected)
            << c.announced << " against " << c.running;
        EXPECT_EQ(compareVersions(parseVersion(QString::fromLatin1(c.running)), announced), -c.expected);
    }
    EXPECT_EQ(versionText(parseVersion(QStringLiteral("v01.013.10"))), QStringLiteral("1.13.10"));
    for (const char *notAVersion : {"", "1.13.x", "<html><body>404</body></html>", "1..2", "1.2.3.4.5",
                                    "1234567890.1", "1,13,0", ".1.2", "1.2."})
        EXPECT_TRUE(parseVersion(QString::fromLatin1(notAVersion)).isEmpty()) << notAVersion;
}

TEST(UpdateVersion, siteFilesReadLikeTheProgramAlwaysReadThem)
{
    // Only a carriage return ends a line of the version file, and the lines
    // are joined; a line feed alone stays (for the version, as a blank).
    EXPECT_EQ(siteFileText("1.13.0\r\n"), QStringLiteral("1.13.0"));
    EXPECT_EQ(siteFileText("1.1\r3.0\r\n"), QStringLiteral("1.13.0"));
    EXPECT_EQ(siteFileText("1.13.0\n"), QStringLiteral("1.13.0\n"));
    EXPECT_EQ(siteFileText(""), QString());

    struct Case {
        QByteArray file;
        QString shown;
    };
    const QString twoLines = QStringLiteral("Corrigé : la règle\nNouveau : le paquet");
    for (const Case &c : {Case{"Tarvello 1.14\nCorrig\xE9 : la r\xE8gle\nNouveau : le paquet\n", twoLines},
                          Case{"Tarvello 1.14\r\nCorrig\xE9 : la r\xE8gle\r\nNouveau : le paquet\r\n\r\n", twoLines},
                          Case{"\xEF\xBB\xBFTitle\rCorrig\xC3\xA9 : la r\xC3\xA8gle\rNouveau : le paquet", twoLines},
                          Case{"Title\nCorrig\xC3\xA9 : la r\xC3\xA8gle\nNouveau : le paquet", twoLines},
                          Case{"Title only\n", QString()}, Case{"", QString()}})
        EXPECT_EQ(releaseNotesText(c.file), c.shown) << c.file.toStdString();
}

TEST(UpdateSite, packagesComeOnlyOverHttpsOrFromThisMachine)
{
    struct Case {
        const char *url;
        bool trusted;
    };
    for (const Case &c : {Case{"https://tarvello.example.org/Tarvello/p.deb", true},
                          Case{"http://127.0.0.1:8080/Tarvello/p.deb", true}, Case{"http://localhost/p.deb", true},
                          Case{"http://[::1]:9/p.deb", true}, Case{"http://127.9.0.1/p.deb", true},
                          Case{"http://tarvello.example.org/Tarvello/p.deb", false},
                          Case{"http://192.168.1.2/p.deb", false}, Case{"http://127.0.0.1.example.org/p.deb", false},
                          Case{"ftp://127.0.0.1/p.deb", false}, Case{"file:///tmp/p.deb", false}})
        EXPECT_EQ(isTrustedSource(QUrl(QString::fromLatin1(c.url))), c.trusted) << c.url;

    // The package of a version sits in the product's folder, its checksum beside it.
    const QUrl package = packageUrl(QStringLiteral("https://site.example"), QStringLiteral("1.13.10"));
    EXPECT_TRUE(package.toString().startsWith(QStringLiteral("https://site.example/Tarvello/tarvello_1.13.10_")));
    EXPECT_TRUE(package.fileName().endsWith(QStringLiteral(".deb")));
    EXPECT_EQ(package.fileName(), packageFileName(QStringLiteral("1.13.10")));
    EXPECT_EQ(checksumUrl(package).toString(), package.toString() + QStringLiteral(".sha256"));
}

TEST(UpdateSite, checksumFilesAsSha256sumWritesThem)
{
    const QByteArray digest = QCryptographicHash::hash("package", QCryptographicHash::Sha256);
    const QByteArray hex = digest.toHex();
    EXPECT_EQ(parseChecksumFile(hex + "  tarvello_1.14.0_amd64.deb\n"), digest);
    EXPECT_EQ(parseChecksumFile(hex.toUpper() + "\ttarvello.deb"), digest);
    EXPECT_EQ(parseChecksumFile(hex), digest);
    for (const QByteArray &bad : {QByteArray(), hex.left(63), hex + "0", QByteArray(hex).replace(0, 1, "g"),
                                  QByteArray("<html>404</html>")})
        EXPECT_TRUE(parseChecksumFile(bad).isEmpty()) << bad.toStdString();
}

// Every test talks to a server of its own on 127.0.0.1, on an event loop.
class UpdateNetwork : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
        server = std::make_unique<LocalHttpServer>();
    }
    void TearDown() override
    {
        server.reset();
        m_app.reset();
    }

    std::unique_ptr<LocalHttpServer> server;

private:
    int m_argc = 1;
    char m_arg0[6] = "tests";
    char *m_argv[2] = {m_arg0, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};

class UpdateCheckTest : public UpdateNetwork
{
protected:
    struct Result {
        CheckOutcome outcome;
        UpdateOffer offer;
        QString announced;
    };

    Result check(UpdateCheck::Request request)
    {
        if (request.site.isEmpty())
            request.site = server->address();
        request.timeoutMs = 300;
        UpdateCheck check(request);
        bool finished = false;
        QObject::connect(&check, &UpdateCheck::finished, [&] { finished = true; });
        check.start();
        EXPECT_FALSE(finished) << "the answer comes from the event loop";
        EXPECT_TRUE(runUntil([&] { return finished; }));
        return {check.outcome(), check.offer(), check.announced()};
    }
};

TEST_F(UpdateCheckTest, theSiteVersionDecidesAndOnlyANewerOneFetchesItsNotes)
{
    struct Case {
        const char *name;
        QByteArray version; // served as version.txt; null: no such file
        bool notes;         // release_note.txt served
        CheckOutcome expected;
    };
    const QByteArray notes = "Tarvello 1.13.10\nFaster lists\nSafer updates\n";
    for (const Case &c : {
             Case{"newer", "1.13.10\r\n", true, CheckOutcome::Newer},
             Case{"equal", "1.13.9", true, CheckOutcome::NotNewer},
             Case{"empty", "", true, CheckOutcome::Empty},
             Case{"an error page", "<html>Service unavailable</html>", true, CheckOutcome::NotAVersion},
             Case{"a huge file", QByteArray(200 * 1024, '1'), true, CheckOutcome::NotAVersion},
             Case{"no version file", QByteArray(), true, CheckOutcome::NoAnswer},
             Case{"newer, notes missing", "1.14", false, CheckOutcome::NotesMissing},
         }) {
        SCOPED_TRACE(c.name);
        server = std::make_unique<LocalHttpServer>();
        if (!c.version.isNull())
            server->serve(QStringLiteral("/Tarvello/version.txt"), c.version);
        if (c.notes)
            server->serve(QStringLiteral("/Tarvello/release_note.txt"), notes);
        const Result result = check({.running = QStringLiteral("1.13.9")});
        EXPECT_EQ(result.outcome, c.expected);
        const bool newer = c.expected == CheckOutcome::Newer || c.expected == CheckOutcome::NotesMissing;
        EXPECT_EQ(server->requested.contains(QStringLiteral("/Tarvello/release_note.txt")), newer);
        if (c.expected == CheckOutcome::Newer) {
            EXPECT_EQ(result.offer.version, QStringLiteral("1.13.10"));
            EXPECT_EQ(result.offer.notes, QStringLiteral("Faster lists\nSafer updates"));
            EXPECT_EQ(result.offer.package, packageUrl(server->address(), QStringLiteral("1.13.10")));
        }
    }
}

TEST_F(UpdateCheckTest, theLocalVersionFileStandsInForTheSitesAndTheAboutBoxSkipsNotes)
{
    QTemporaryDir program;
    const QString local = program.filePath(QStringLiteral("version_local.txt"));
    QFile file(local);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("1.14.0\r\n");
    file.close();
    server->serve(QStringLiteral("/Tarvello/version.txt"), "1.13.9");
    server->serve(QStringLiteral("/Tarvello/release_note.txt"), "Title\nNotes");

    Result result = check({.running = QStringLiteral("1.13.9"), .localVersionFile = local});
    EXPECT_EQ(result.outcome, CheckOutcome::Newer);
    EXPECT_EQ(result.offer.version, QStringLiteral("1.14.0"));
    EXPECT_EQ(server->requested, QStringList{QStringLiteral("/Tarvello/release_note.txt")});

    // Without a site at all the local file still answers.
    result = check({.site = LocalHttpServer::deadAddress(), .running = QStringLiteral("1.14.0"), .localVersionFile = local});
    EXPECT_EQ(result.outcome, CheckOutcome::NotNewer);

    // The about box's question: the site's file only, no notes.
    server->requested.clear();
    server->serve(QStringLiteral("/Tarvello/version.txt"), "v1.15");
    result = check({.running = QStringLiteral("1.13.9"), .withNotes = false});
    EXPECT_EQ(result.outcome, CheckOutcome::Newer);
    EXPECT_EQ(result.announced, QStringLiteral("v1.15"));
    EXPECT_EQ(result.offer.version, QStringLiteral("1.15"));
    EXPECT_EQ(server->requested, QStringList{QStringLiteral("/Tarvello/version.txt")});
}

class PackageDownloadTest : public UpdateNetwork
{
protected:
    const QString kPackagePath = QStringLiteral("/Tarvello/tarvello_1.14.0_all.deb");

    void SetUp() override
    {
        UpdateNetwork::SetUp();
        for (int i = 0; i < 300000; ++i)
            package.append(char((i * 31 + i / 7) % 251));
        checksum = QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex()
            + "  tarvello_1.14.0_all.deb\n";
    }

    struct Result {
        DownloadOutcome outcome;
        QString path;
        QList<qint64> progress;
    };

    Result download(bool reuseExisting = false, QString site = {})
    {
        if (site.isEmpty())
            site = server->address();
        PackageDownload download(QUrl(site + kPackagePath), folder.path(), 300);
        Result result{DownloadOutcome::Failed, download.path(), {}};
        bool finished = false;
        QObject::connect(&download, &PackageDownload::finished, [&] { finished = true; });
        QObject::connect(&download, &PackageDownload::progress,
                         [&](qint64 received, qint64) { result.progress.append(received); });
        download.start(reuseExisting);
        EXPECT_TRUE(runUntil([&] { return finished; }));
        result.outcome = download.outcome();
        return result;
    }

    // The folder's files, sorted.
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QByteArray contents(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray package;
    QByteArray checksum;
    QTemporaryDir folder;
};

TEST_F(PackageDownloadTest, onlyAPackageThatMatchesItsChecksumIsKept)
{
    QByteArray tampered = package;
    tampered[1000] = char(tampered[1000] ^ 1);
    QByteArray halfOfIt = package.left(package.size() / 2);
    struct Case {
        const char *name;
        QByteArray served;
        LocalHttpServer::Reply reply;
        DownloadOutcome expected;
    };
    for (const Case &c : {
             Case{"whole", package, LocalHttpServer::Reply::Whole, DownloadOutcome::Ready},
             Case{"without a length", package, LocalHttpServer::Reply::NoLength, DownloadOutcome::Ready},
             Case{"tampered", tampered, LocalHttpServer::Reply::Whole, DownloadOutcome::Mismatch},
             Case{"truncated", package, LocalHttpServer::Reply::Truncated, DownloadOutcome::Truncated},
             Case{"short, without a length", halfOfIt, LocalHttpServer::Reply::NoLength, DownloadOutcome::Mismatch},
             Case{"silent", package, LocalHttpServer::Reply::Silent, DownloadOutcome::Failed},
         }) {
        SCOPED_TRACE(c.name);
        server->serve(kPackagePath + QStringLiteral(".sha256"), checksum);
        server->serve(kPackagePath, c.served, c.reply);
        const Result result = download();
        EXPECT_EQ(result.outcome, c.expected);
        if (c.expected == DownloadOutcome::Ready) {
            EXPECT_EQ(files(), QStringList{QStringLiteral("tarvello_1.14.0_all.deb")});
            EXPECT_EQ(contents(result.path), package);
            ASSERT_FALSE(result.progress.isEmpty());
            EXPECT_EQ(result.progress.last(), package.size());
            ASSERT_TRUE(QFile::remove(result.path));
        } else {
            EXPECT_EQ(files(), QStringList()) << "nothing is left of a refused package";
        }
    }
}

TEST_F(PackageDownloadTest, withoutAUsableChecksumThePackageIsNotEvenFetched)
{
    struct Case {
        const char *name;
        QByteArray checksumFile; // null: none served
        QString site;            // empty: the test's server
        DownloadOutcome expected;
    };
    for (const Case &c : {
             Case{"no checksum file", QByteArray(), {}, DownloadOutcome::NoChecksum},
             Case{"not a checksum", "<html>moved</html>", {}, DownloadOutcome::BadChecksum},
             Case{"no server", checksum, LocalHttpServer::deadAddress(), DownloadOutcome::NoChecksum},
             Case{"plain HTTP elsewhere", checksum, QStringLiteral("http://tarvello.example.org"),
                  DownloadOutcome::NotTrusted},
         }) {
        SCOPED_TRACE(c.name);
        server = std::make_unique<LocalHttpServer>();
        if (!c.checksumFile.isNull())
            server->serve(kPackagePath + QStringLiteral(".sha256"), c.checksumFile);
        server->serve(kPackagePath, package);
        EXPECT_EQ(download(false, c.site).outcome, c.expected);
        EXPECT_FALSE(server->requested.contains(kPackagePath));
        EXPECT_EQ(files(), QStringList());
    }
    // The package itself missing.
    server->serve(kPackagePath + QStringLiteral(".sha256"), checksum);
    server->remove(kPackagePath);
    EXPECT_EQ(download().outcome, DownloadOutcome::Failed);
    EXPECT_EQ(files(), QStringList());
}

TEST_F(PackageDownloadTest, aPackageAlreadyThereIsCheckedOrFetchedAgain)
{
    server->serve(kPackagePath + QStringLiteral(".sha256"), checksum);
    server->serve(kPackagePath, package);
    const QString path = folder.filePath(QStringLiteral("tarvello_1.14.0_all.deb"));
    auto plant = [&](const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };

    // Kept: a matching file is used as it is.
    plant(package);
    EXPECT_EQ(download(true).outcome, DownloadOutcome::Ready);
    EXPECT_FALSE(server->requested.contains(kPackagePath));

    // Kept, but it does not match: it goes, and is not fetched instead.
    plant("something else");
    EXPECT_EQ(download(true).outcome, DownloadOutcome::Mismatch);
    EXPECT_EQ(files(), QStringList());

    // Fetched again: the old file gives way to the checked one, and a part
    // left by an earlier run is replaced.
    plant("an older package");
    QFile part(path + QStringLiteral(".part"));
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write("left over");
    part.close();
    EXPECT_EQ(download(false).outcome, DownloadOutcome::Ready);
    EXPECT_EQ(contents(path), package);
    EXPECT_EQ(files(), QStringList{QStringLiteral("tarvello_1.14.0_all.deb")});
}

TEST_F(PackageDownloadTest, cancellingDeletesThePartialFile)
{
    server->serve(kPackagePath + QStringLiteral(".sha256"), checksum);
    server->serve(kPackagePath, package, LocalHttpServer::Reply::Silent);
    PackageDownload download(QUrl(server->address() + kPackagePath), folder.path(), 60000);
    int finished = 0;
    QObject::connect(&download, &PackageDownload::finished, [&] { ++finished; });
    download.start();
    ASSERT_TRUE(runUntil([&] { return server->requested.contains(kPackagePath); }));
    EXPECT_EQ(files(), QStringList{QStringLiteral("tarvello_1.14.0_all.deb.part")});
    download.cancel();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(download.outcome(), DownloadOutcome::Cancelled);
    EXPECT_EQ(files(), QStringList());
}

} // namespace
