#include "QtPrint.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TestApplication.h"
#include "update/PackageDownload.h"
#include "update/Site.h"
#include "update/UpdateCheck.h"
#include "update/Version.h"

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
using Reply = LocalHttpServer::Reply;

TEST(UpdateVersion, versionsCompareByTheirNumbers)
{
    struct Case { const char *announced; const char *running; int expected; };
    for (const Case &c : {Case{"1.13.10", "1.13.9", 1}, Case{"1.9", "1.10", -1}, Case{"1.13", "1.13.0", 0},
                          Case{"v1.14.0", "1.13.0", 1}, Case{"  2\n", "1.99.99", 1}, Case{"1.13.0.1", "1.13", 1}}) {
        const VersionNumbers announced = parseVersion(c.announced);
        ASSERT_FALSE(announced.isEmpty()) << c.announced;
        EXPECT_EQ(compareVersions(announced, parseVersion(c.running)), c.expected) << c.announced << " / " << c.running;
        EXPECT_EQ(compareVersions(parseVersion(c.running), announced), -c.expected);
    }
    EXPECT_EQ(versionText(parseVersion("v01.013.10")), "1.13.10");
    for (const char *notAVersion : {"", "1.13.x", "<html><body>404</body></html>", "1..2", "1.2.3.4.5",
                                    "1234567890.1", "1,13,0", ".1.2", "1.2."})
        EXPECT_TRUE(parseVersion(notAVersion).isEmpty()) << notAVersion;
}

TEST(UpdateVersion, siteFilesReadLikeTheProgramAlwaysReadThem)
{
    // Only a carriage return ends a line of the version file, and the lines
    // are joined; a line feed alone stays (for the version, as a blank).
    EXPECT_EQ(siteFileText("1.1\r3.0\r\n"), "1.13.0");
    EXPECT_EQ(siteFileText("1.13.0\n"), "1.13.0\n");
    EXPECT_EQ(siteFileText(""), QString());

    const QString twoLines = "Corrigé : la règle\nNouveau : le paquet";
    const std::pair<QByteArray, QString> notes[] = {
        {"Tarvello 1.14\nCorrig\xE9 : la r\xE8gle\nNouveau : le paquet\n", twoLines},
        {"Tarvello 1.14\r\nCorrig\xE9 : la r\xE8gle\r\nNouveau : le paquet\r\n\r\n", twoLines},
        {"\xEF\xBB\xBFTitle\rCorrig\xC3\xA9 : la r\xC3\xA8gle\rNouveau : le paquet", twoLines},
        {"Title\nCorrig\xC3\xA9 : la r\xC3\xA8gle\nNouveau : le paquet", twoLines},
        {"Title only\n", QString()},
        {"", QString()}};
    for (const auto &[file, shown] : notes)
        EXPECT_EQ(releaseNotesText(file), shown) << file.toStdString();
}

TEST(UpdateSite, packagesComeOnlyOverHttpsOrFromThisMachineWithAChecksumAsSha256sumWritesIt)
{
    for (const char *trusted : {"https://tarvello.example.org/Tarvello/p.deb", "http://127.0.0.1:8080/Tarvello/p.deb",
                                "http://localhost/p.deb", "http://[::1]:9/p.deb", "http://127.9.0.1/p.deb"})
        EXPECT_TRUE(isTrustedSource(QUrl(trusted))) << trusted;
    for (const char *untrusted : {"http://tarvello.example.org/Tarvello/p.deb", "http://192.168.1.2/p.deb",
                                  "http://127.0.0.1.example.org/p.deb", "ftp://127.0.0.1/p.deb", "file:///tmp/p.deb"})
        EXPECT_FALSE(isTrustedSource(QUrl(untrusted))) << untrusted;

    const QByteArray digest = QCryptographicHash::hash("package", QCryptographicHash::Sha256);
    const QByteArray hex = digest.toHex();
    for (const QByteArray &good : {hex + "  tarvello_1.14.0_amd64.deb\n", hex.toUpper() + "\ttarvello.deb", hex})
        EXPECT_EQ(parseChecksumFile(good), digest) << good.toStdString();
    for (const QByteArray &bad : {QByteArray(), hex.left(63), hex + "0", QByteArray(hex).replace(0, 1, "g"),
                                  QByteArray("<html>404</html>")})
        EXPECT_TRUE(parseChecksumFile(bad).isEmpty()) << bad.toStdString();
}

// Every test talks to a server of its own on 127.0.0.1, on an event loop, and
// downloads into a folder of its own.
class UpdateNetwork : public ::testing::Test
{
protected:
    TestApplication app;
    const QString kPackagePath = "/Tarvello/tarvello_1.14.0_all.deb";

    void SetUp() override
    {
        server = std::make_unique<LocalHttpServer>();
        for (int i = 0; i < 300000; ++i)
            package.append(char((i * 31 + i / 7) % 251));
        checksum = QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() + "  tarvello_1.14.0_all.deb\n";
    }

    // Lets the event loop run until the condition holds; false when it still
    // does not after a generous while (a hang fails instead of blocking).
    static bool runUntil(const std::function<bool()> &condition)
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

    struct Checked { CheckOutcome outcome; UpdateOffer offer; QString announced; };

    Checked check(UpdateCheck::Request request)
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

    struct Downloaded { DownloadOutcome outcome; QString path; QList<qint64> progress; };

    Downloaded download(bool reuseExisting = false, QString site = {})
    {
        PackageDownload download(QUrl((site.isEmpty() ? server->address() : site) + kPackagePath), folder.path(), 300);
        Downloaded result{DownloadOutcome::Failed, download.path(), {}};
        bool finished = false;
        QObject::connect(&download, &PackageDownload::finished, [&] { finished = true; });
        QObject::connect(&download, &PackageDownload::progress,
                         [&](qint64 received, qint64) { result.progress.append(received); });
        download.start(reuseExisting);
        EXPECT_TRUE(runUntil([&] { return finished; }));
        result.outcome = download.outcome();
        return result;
    }

    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    std::unique_ptr<LocalHttpServer> server;
    QByteArray package;
    QByteArray checksum;
    QTemporaryDir folder;
};

TEST_F(UpdateNetwork, theSiteVersionDecidesAndOnlyANewerOneFetchesItsNotes)
{
    struct Case {
        const char *name;
        QByteArray version; // served as version.txt; null: no such file
        bool notes;         // release_note.txt served
        CheckOutcome expected;
    };
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
            server->serve("/Tarvello/version.txt", c.version);
        if (c.notes)
            server->serve("/Tarvello/release_note.txt", "Tarvello 1.13.10\nFaster lists\nSafer updates\n");
        const Checked result = check({.running = "1.13.9"});
        EXPECT_EQ(result.outcome, c.expected);
        const bool newer = c.expected == CheckOutcome::Newer || c.expected == CheckOutcome::NotesMissing;
        EXPECT_EQ(server->requested.contains("/Tarvello/release_note.txt"), newer);
        if (c.expected == CheckOutcome::Newer) {
            EXPECT_EQ(result.offer.version, "1.13.10");
            EXPECT_EQ(result.offer.notes, "Faster lists\nSafer updates");
            EXPECT_EQ(result.offer.package, packageUrl(server->address(), "1.13.10"));
        }
    }
}

TEST_F(UpdateNetwork, theLocalVersionFileStandsInForTheSitesAndTheAboutBoxSkipsNotes)
{
    const QString local = folder.filePath("version_local.txt");
    QFile file(local);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("1.14.0\r\n");
    file.close();
    server->serve("/Tarvello/version.txt", "1.13.9");
    server->serve("/Tarvello/release_note.txt", "Title\nNotes");

    Checked result = check({.running = "1.13.9", .localVersionFile = local});
    EXPECT_EQ(result.outcome, CheckOutcome::Newer);
    EXPECT_EQ(result.offer.version, "1.14.0");
    EXPECT_EQ(server->requested, QStringList{"/Tarvello/release_note.txt"});

    // Without a site at all the local file still answers.
    result = check({.site = LocalHttpServer::deadAddress(), .running = "1.14.0", .localVersionFile = local});
    EXPECT_EQ(result.outcome, CheckOutcome::NotNewer);

    // The about box's question: the site's file only, no notes.
    server->requested.clear();
    server->serve("/Tarvello/version.txt", "v1.15");
    result = check({.running = "1.13.9", .withNotes = false});
    EXPECT_EQ(result.outcome, CheckOutcome::Newer);
    EXPECT_EQ(result.announced, "v1.15");
    EXPECT_EQ(result.offer.version, "1.15");
    EXPECT_EQ(server->requested, QStringList{"/Tarvello/version.txt"});
}

// Only a package that matches its checksum is kept; without a usable checksum
// the package is not even fetched.
TEST_F(UpdateNetwork, aDownloadKeepsOnlyAPackageThatMatchesItsChecksum)
{
    QByteArray tampered = package;
    tampered[1000] = char(tampered[1000] ^ 1);
    struct Case {
        const char *name;
        QByteArray checksumFile; // null: none served
        QByteArray served;       // null: no package
        Reply reply;
        QString site; // empty: the test's server
        DownloadOutcome expected;
    };
    for (const Case &c : {
             Case{"whole", checksum, package, Reply::Whole, {}, DownloadOutcome::Ready},
             Case{"without a length", checksum, package, Reply::NoLength, {}, DownloadOutcome::Ready},
             Case{"tampered", checksum, tampered, Reply::Whole, {}, DownloadOutcome::Mismatch},
             Case{"truncated", checksum, package, Reply::Truncated, {}, DownloadOutcome::Truncated},
             Case{"short, without a length", checksum, package.left(package.size() / 2), Reply::NoLength, {},
                  DownloadOutcome::Mismatch},
             Case{"silent", checksum, package, Reply::Silent, {}, DownloadOutcome::Failed},
             Case{"no package", checksum, QByteArray(), Reply::Whole, {}, DownloadOutcome::Failed},
             Case{"no checksum file", QByteArray(), package, Reply::Whole, {}, DownloadOutcome::NoChecksum},
             Case{"not a checksum", "<html>moved</html>", package, Reply::Whole, {}, DownloadOutcome::BadChecksum},
             Case{"no server", checksum, package, Reply::Whole, LocalHttpServer::deadAddress(), DownloadOutcome::NoChecksum},
             Case{"plain HTTP elsewhere", checksum, package, Reply::Whole, "http://tarvello.example.org",
                  DownloadOutcome::NotTrusted},
         }) {
        SCOPED_TRACE(c.name);
        server = std::make_unique<LocalHttpServer>();
        if (!c.checksumFile.isNull())
            server->serve(kPackagePath + ".sha256", c.checksumFile);
        if (!c.served.isNull())
            server->serve(kPackagePath, c.served, c.reply);
        const Downloaded result = download(false, c.site);
        EXPECT_EQ(result.outcome, c.expected);
        if (c.expected == DownloadOutcome::Ready) {
            EXPECT_EQ(files(), QStringList{"tarvello_1.14.0_all.deb"});
            QFile kept(result.path);
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), package);
            ASSERT_FALSE(result.progress.isEmpty());
            EXPECT_EQ(result.progress.last(), package.size());
            ASSERT_TRUE(kept.remove());
        }
        EXPECT_EQ(files(), QStringList()) << "nothing is left of a refused package";
        if (c.checksumFile != checksum || !c.site.isEmpty()) {
            EXPECT_FALSE(server->requested.contains(kPackagePath));
        }
    }
}

TEST_F(UpdateNetwork, aPackageAlreadyThereIsCheckedOrFetchedAgain)
{
    server->serve(kPackagePath + ".sha256", checksum);
    server->serve(kPackagePath, package);
    const QString path = folder.filePath("tarvello_1.14.0_all.deb");
    const auto plant = [](const QString &at, const QByteArray &bytes) {
        QFile file(at);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };

    // Kept: a matching file is used as it is.
    plant(path, package);
    EXPECT_EQ(download(true).outcome, DownloadOutcome::Ready);
    EXPECT_FALSE(server->requested.contains(kPackagePath));

    // Kept, but it does not match: it goes, and is not fetched instead.
    plant(path, "something else");
    EXPECT_EQ(download(true).outcome, DownloadOutcome::Mismatch);
    EXPECT_EQ(files(), QStringList());

    // Fetched again: the old file gives way to the checked one, and a part
    // left by an earlier run is replaced.
    plant(path, "an older package");
    plant(path + ".part", "left over");
    EXPECT_EQ(download(false).outcome, DownloadOutcome::Ready);
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), package);
    EXPECT_EQ(files(), QStringList{"tarvello_1.14.0_all.deb"});
}

TEST_F(UpdateNetwork, cancellingADownloadDeletesThePartialFile)
{
    server->serve(kPackagePath + ".sha256", checksum);
    server->serve(kPackagePath, package, Reply::Silent);
    PackageDownload download(QUrl(server->address() + kPackagePath), folder.path(), 60000);
    int finished = 0;
    QObject::connect(&download, &PackageDownload::finished, [&] { ++finished; });
    download.start();
    ASSERT_TRUE(runUntil([&] { return server->requested.contains(kPackagePath); }));
    EXPECT_EQ(files(), QStringList{"tarvello_1.14.0_all.deb.part"});
    download.cancel();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(download.outcome(), DownloadOutcome::Cancelled);
    EXPECT_EQ(files(), QStringList());
}

} // namespace
