#include "app/AppContext.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "support/ScriptedMsgBox.h"
#include "tests/support/LocalHttpServer.h"
#include "update/Site.h"
#include "update/ui/UpdateService.h"
#include "update/ui/frmMiseAJour.h"

#include <QCryptographicHash>
#include <QDate>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace tarvello;
using test::LocalHttpServer;

namespace {

const QString kNewer = QStringLiteral("1.14.0");

// The program's own French language file, the update service over it with
// a message box that records and answers, and a site on 127.0.0.1.
struct UpdateFixture {
    UpdateFixture()
    {
        context.programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        context.settings.General_AfficherImageBouton = 0;
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(QStringLiteral("Français"));
        qputenv("TARVELLO_SITE", server.address().toUtf8());
        service.timeoutMs = 300;
        service.openPackage = [this](const QString &path) {
            opened.append(path);
            return openerWorks;
        };
        service.openUrl = [this](const QString &url) {
            browsed.append(url);
            return true;
        };
        for (int i = 0; i < 100000; ++i)
            package.append(char((i * 13 + i / 5) % 256));
    }

    // Serves the newer version, its notes, its package and the package's checksum.
    void serveNewer(const QByteArray &served, LocalHttpServer::Reply reply = LocalHttpServer::Reply::Whole)
    {
        server.serve(QStringLiteral("/Tarvello/version.txt"), kNewer.toLatin1() + "\r\n");
        server.serve(QStringLiteral("/Tarvello/release_note.txt"), "Tarvello 1.14\nListes plus rapides\nMises \xE0 jour s\xFBres\n");
        server.serve(packagePath(), served, reply);
        server.serve(packagePath() + QStringLiteral(".sha256"),
                     QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() + "  "
                         + update::packageFileName(kNewer).toLatin1() + "\n");
    }
    QString packagePath() const { return QStringLiteral("/Tarvello/") + update::packageFileName(kNewer); }

    // The start-up check, waited for; asked tells whether it asked anything.
    bool checkAtStart()
    {
        service.checkAtStart(nullptr);
        asked = service.checking();
        return QTest::qWaitFor([this] { return !service.checking(); }, 10000);
    }

    QString message(int number, const QString &p1 = {}, const QString &p2 = {})
    {
        return lang::ui::widgetText(context.language.GetMessage(number, p1, p2));
    }
    QString extra(const QString &key, const QString &p1 = {}, const QString &p2 = {}) const
    {
        return lang::ui::widgetText(context.language.extra(key, p1, p2));
    }

    LocalHttpServer server;
    app::AppContext context;
    test::ScriptedMsgBox box;
    update::ui::UpdateService service{context, box};
    QStringList opened;
    QStringList browsed;
    bool openerWorks = true;
    bool asked = false;
    QByteArray package;
};

template <typename T>
T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

} // namespace

class tst_update : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The private temporary folder lives in the test's own folder.
        m_savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        m_private = m_tmp.path() + QStringLiteral("/tarvello-") + QString::number(::getuid());
    }
    void cleanupTestCase()
    {
        qputenv("TMPDIR", m_savedTmp);
        qunsetenv("TARVELLO_SITE");
    }
    void init()
    {
        QDir(m_private).removeRecursively();
    }

    void startUpOffersOnlyANewerVersionAtMostOnceADay_data()
    {
        QTest::addColumn<QString>("served"); // "running": the running version; "-": no server
        QTest::addColumn<bool>("dialog");
        QTest::addColumn<int>("message");   // 0: none
        QTest::addColumn<bool>("stamped");  // the day of the check is kept
        QTest::newRow("newer") << kNewer << true << 0 << true;
        QTest::newRow("no server") << "-" << false << 0 << false;
    }

    void startUpOffersOnlyANewerVersionAtMostOnceADay()
    {
        QFETCH(QString, served);
        QFETCH(bool, dialog);
        QFETCH(int, message);
        QFETCH(bool, stamped);
        UpdateFixture f;
        if (served == QLatin1String("-"))
            qputenv("TARVELLO_SITE", LocalHttpServer::deadAddress().toUtf8());
        f.serveNewer(f.package);
        f.server.serve(QStringLiteral("/Tarvello/version.txt"),
                       served == QLatin1String("running") ? f.context.version.text().toLatin1() : served.toLatin1());
        QVERIFY(f.checkAtStart());
        QCOMPARE(f.service.dialog() != nullptr, dialog);
        QCOMPARE(f.box.texts(), message ? QStringList{f.message(message)} : QStringList());
        QCOMPARE(f.context.settings.General_DerniereVerification == QDate::currentDate().toString(Qt::ISODate), stamped);

        // A second start the same day asks again only when nobody answered.
        if (f.service.dialog()) {
            f.service.dialog()->close();
            QVERIFY(QTest::qWaitFor([&] { return !f.service.dialog(); }, 5000));
        }
        f.server.requested.clear();
        f.box.shown.clear();
        QVERIFY(f.checkAtStart());
        QCOMPARE(f.asked, !stamped);
        QVERIFY(f.asked || f.server.requested.isEmpty());

        // The next day asks again.
        f.context.settings.General_DerniereVerification = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
        QVERIFY(f.checkAtStart());
        QVERIFY(f.asked);
    }

    void theCheckedPackageIsHandedOverAndNothingElseIs_data()
    {
        QTest::addColumn<int>("reply");
        QTest::addColumn<bool>("tampered");
        QTest::addColumn<bool>("checksum");
        QTest::addColumn<QString>("reason"); // the EXTRA text after message 82; "" when handed over
        QTest::newRow("checked") << int(LocalHttpServer::Reply::Whole) << false << true << "";
        QTest::newRow("tampered") << int(LocalHttpServer::Reply::Whole) << true << true << "UpdateMismatch";
    }

    void theCheckedPackageIsHandedOverAndNothingElseIs()
    {
        QFETCH(int, reply);
        QFETCH(bool, tampered);
        QFETCH(bool, checksum);
        QFETCH(QString, reason);
        UpdateFixture f;
        QByteArray served = f.package;
        if (tampered)
            served[500] = char(served[500] ^ 0x20);
        f.serveNewer(served, LocalHttpServer::Reply(reply));
        if (!checksum)
            f.server.remove(f.packagePath() + QStringLiteral(".sha256"));
        f.box.answers = {lang::MsgAnswer::OK, lang::MsgAnswer::Yes};
        QVERIFY(f.checkAtStart());
        QPointer<update::ui::frmMiseAJour> window = f.service.dialog();
        QVERIFY(window);
        auto *next = child<QPushButton>(window, "cmdSuivant");
        next->click();
        QVERIFY(!next->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return !f.box.shown.isEmpty(); }, 10000));

        const QString packageFile = m_private + QLatin1Char('/') + update::packageFileName(kNewer);
        if (reason.isEmpty()) {
            QCOMPARE(f.opened, QStringList{packageFile});
            QFile file(packageFile);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), f.package);
            QCOMPARE(f.box.texts(), QStringList{f.extra(QStringLiteral("UpdateHandedOver"), kNewer)});
            QVERIFY(!window);
            return;
        }
        QVERIFY(f.opened.isEmpty());
        QCOMPARE(QDir(m_private).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(f.box.shown.size(), 2);
        const QStringList lines = f.box.shown[0].text.split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), f.message(82));
        const QString told = f.extra(reason, QStringLiteral("@"), QStringLiteral("@"));
        QVERIFY2(lines.value(1).startsWith(told.left(told.indexOf(QLatin1Char('@')))), qPrintable(lines.value(1)));
        QCOMPARE(f.box.shown[0].style, lang::MsgStyle::Exclamation);
        QCOMPARE(f.box.shown[1].text, f.message(84));
        // Yes to message 84 opens the site; the dialog stays for cancelling only.
        QCOMPARE(f.browsed, QStringList{f.server.address()});
        QVERIFY(window && window->isVisible());
        QVERIFY(!next->isVisible());
        child<QPushButton>(window, "cmdAnnuler")->click();
        QVERIFY(QTest::qWaitFor([&] { return !window; }, 5000));
    }

private:
    QTemporaryDir m_tmp;
    QByteArray m_savedTmp;
    QString m_private;
};

QTEST_MAIN(tst_update)
#include "tst_update.moc"
