#include "app/AppContext.h"
#include "dialogs/ui/CHelp.h"
#include "dialogs/ui/frmAboutCredits.h"
#include "lang/ui/Translate.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"
#include "tests/support/LocalHttpServer.h"
#include "update/Site.h"
#include "update/ui/UpdateService.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

using namespace tarvello;
using dialogs::ui::frmAboutCredits;
using test::LocalHttpServer;

namespace {

// The program's own language files, the about box's services over them,
// and a site on 127.0.0.1 that gives the running version.
struct AboutFixture {
    explicit AboutFixture(const QString &languageName = QStringLiteral("Français"))
    {
        context.programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        context.settings.General_AfficherImageBouton = 0;
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(languageName);
        qputenv("TARVELLO_SITE", server.address().toUtf8());
        server.serve(QStringLiteral("/Tarvello/version.txt"), context.version.text().toLatin1());
    }

    QString message(int number) { return lang::ui::widgetText(context.language.GetMessage(number)); }

    LocalHttpServer server;
    app::AppContext context;
    test::ScriptedMsgBox box;
    dialogs::ui::CHelp help{context, box, [](const QString &) { return true; }};
    update::ui::UpdateService updates{context, box};
};

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&')).simplified();
}

} // namespace

class tst_about : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase() { qunsetenv("TARVELLO_SITE"); }

    void everyControlIsNamedAndWhole_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("French") << QStringLiteral("Français");
        QTest::newRow("English") << QStringLiteral("English");
    }

    void everyControlIsNamedAndWhole()
    {
        QFETCH(QString, language);
        AboutFixture f(language);
        frmAboutCredits box(f.context, f.help, &f.updates);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));

        for (QWidget *control : box.findChildren<QWidget *>()) {
            const QString name = control->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
                continue;
            const QString accessible = control->accessibleName();
            QVERIFY2(!accessible.isEmpty() && !accessible.contains(QLatin1Char('&')), qPrintable(name + ": " + accessible));
        }

        // A figure reads its caption, then its value.
        const QList<std::pair<const char *, const char *>> figures = {
            {"lblMemTot", "Label(0)"}, {"lblMemDis", "Label(1)"}, {"lblEspaceVal", "lblEspace"}};
        for (const auto &[valueName, captionName] : figures) {
            const QString value = child<QLabel>(&box, valueName)->text().trimmed();
            const QString caption = withoutMnemonic(child<QLabel>(&box, captionName)->text());
            QVERIFY2(value.contains(QRegularExpression(QStringLiteral("\\d"))), valueName);
            QCOMPARE(child<QLabel>(&box, valueName)->accessibleName(), caption + QLatin1Char(' ') + value);
        }
        // The free space follows the disk chosen.
        auto *drive = child<QComboBox>(&box, "drvDisque");
        QVERIFY(drive->count() > 0);
        QVERIFY(child<QLabel>(&box, "lblEspace")->text().contains(drive->currentText()));

    }
};

QTEST_MAIN(tst_about)
#include "tst_about.moc"
