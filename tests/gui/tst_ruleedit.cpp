// The aids around the rule box: the check once typing pauses, the field
// checks of the counter and position boxes and the token labels.

#include "mainwindow/frmMain.h"
#include "rules/RegexDirective.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswer.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace tarvello;
using test::MainWindowFixture;

namespace {

// Leaves a box as pressing Tab would.
void leave(QWidget *box)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &out);
}

void enter(QWidget *box)
{
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &in);
}

} // namespace

class tst_ruleedit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aRuleIsCheckedWhenTypingPausesOrTheBoxIsLeft()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("A_#"));
        f.window->affiche_nom(QStringLiteral("/d/x.txt"));
        enter(ui.cboRenommer);
        ui.cboRenommer->lineEdit()->selectAll();
        QTest::keyClicks(ui.cboRenommer->lineEdit(), QStringLiteral("a:b"));
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("a:b"));
        QVERIFY(f.box.shown.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(f.box.shown.size(), 1, 3000);
        QCOMPARE(f.box.shown[0].text, f.message(21, QStringLiteral("/:?\"<>|\\")));
        QCOMPARE(f.box.shown[0].style, 64);
        QCOMPARE(f.box.shown[0].title, f.message(2));
        QCOMPARE(f.newNames(), QStringList{"A_1.txt"});

        // A rule that passes is stored and applied; an odd "$" only warns.
        ui.cboRenommer->lineEdit()->selectAll();
        QTest::keyClicks(ui.cboRenommer->lineEdit(), QStringLiteral("B$_#"));
        QTRY_COMPARE_WITH_TIMEOUT(f.newNames(), QStringList{"B$_1.txt"}, 3000);
        QCOMPARE(f.context.settings.rule.rule, QStringLiteral("B$_#"));
        QCOMPARE(f.box.texts().mid(1), QStringList{f.message(92)});

        // Leaving without a change recomputes nothing; after a change it checks at once.
        filelist::FileEntry stale = f.window->fileList().entry(0);
        stale.newName = QStringLiteral("stale");
        f.window->fileList().clear();
        f.window->fileList().append(stale);
        leave(ui.cboRenommer);
        QCOMPARE(f.newNames(), QStringList{"stale"});
        enter(ui.cboRenommer);
        ui.cboRenommer->setEditText(QStringLiteral("x/$REPC/a/b$"));
        leave(ui.cboRenommer);
        QCOMPARE(f.box.shown.last().text, f.message(21, QStringLiteral("/")));
        // A paste can bring a tab into the one-line box: refused, the names stay.
        enter(ui.cboRenommer);
        ui.cboRenommer->setEditText(QStringLiteral("C\t#"));
        leave(ui.cboRenommer);
        QCOMPARE(f.box.shown.last().text, lang::ui::widgetText(f.context.language.extra(QStringLiteral("RuleControlCharacter"))));
        QCOMPARE(f.newNames(), QStringList{"stale"});
        enter(ui.cboRenommer);
        ui.cboRenommer->setEditText(QStringLiteral("C_#"));
        leave(ui.cboRenommer);
        QCOMPARE(f.newNames(), QStringList{"C_1.txt"});
        QCOMPARE(f.box.shown.size(), 4);
    }

    // Which box is which and the message its check shows; what the checks
    // decide is the engine's table.
    void leavingABoxShowsItsCheck()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("N_#"));
        f.window->affiche_nom(QStringLiteral("/d/x.txt"));
        lang::Language &language = f.context.language;
        const struct {
            QLineEdit *box;
            QString typed;
            QString kept;
            QString message;
        } cases[] = {
            {ui.txtDebut, "abc", "1", "\n" + f.message(13)},
            {ui.txtDebut, "3000000000", "1", language.extra("StartOutOfRange", "3000000000")},
            {ui.txtPas, "99999", "1", language.extra("OptionOutOfRange", "99999")},
            {ui.txtNbPasse, "x", "0", "\n" + f.message(13)},
            {ui.txtRepPos[3], "40000", "40000", "txtRepPos_LostFocus (Feuille frmMain)"},
        };
        for (const auto &c : cases) {
            f.box.shown.clear();
            c.box->setEnabled(true);
            c.box->setText(c.typed);
            leave(c.box);
            QCOMPARE(c.box->text(), c.kept);
            QCOMPARE(f.box.shown.size(), 1);
            QVERIFY2(f.box.shown[0].text.contains(c.message), qPrintable(f.box.shown[0].text));
            QCOMPARE(f.newNames(), QStringList{"N_1.txt"});
        }
        ui.txtPas->setText(QStringLiteral("5"));
        leave(ui.txtPas);
        QCOMPARE(f.context.settings.rule.counterStep, 5);
        ui.txtDebut->setText(QStringLiteral("#"));
        leave(ui.txtDebut);
        QCOMPARE(f.context.settings.rule.counterStart, settings::kContinuationStart);
    }

    // The regular-expression form writes the rule; a pattern that does not
    // compile is refused with where and why, and the names stay.
    void regexFormWritesTheRuleOrSaysWhereThePatternFails()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        f.window->affiche_nom(QStringLiteral("/d/IMG_abcdefg.jpg"));
        ui.txtRegxMotif->setText(QStringLiteral("^(\\w+)_(\\w+)$"));
        ui.txtRegxRemplacer->setText(QStringLiteral("\\2-\\1"));
        ui.chkRegxTout->setChecked(true);
        ui.cmdRepRegx->click();
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$REGX/^(\\w+)_(\\w+)$/\\2-\\1/g$"));
        QCOMPARE(f.newNames(), QStringList{"abcdefg-IMG.jpg"});
        ui.txtRegxMotif->setText(QStringLiteral("a)"));
        ui.cmdRepRegx->click();
        const rules::RegexRefusal refusal = *rules::regexRefusal(ui.cboRenommer->currentText());
        // The "$" anchor of the first pattern made the dollars odd: message 92 came first.
        QCOMPARE(f.box.texts().last(), lang::ui::widgetText(rules::regexRefusalText(f.context.language, refusal)));
        QCOMPARE(refusal.offset, 2);
        QCOMPARE(f.newNames(), QStringList{"abcdefg-IMG.jpg"});
    }

    void tokensGoWhereTheCaretWas()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("abc"));
        f.window->affiche_nom(QStringLiteral("/d/IMG_0042.jpg"));
        enter(ui.cboRenommer);
        ui.cboRenommer->lineEdit()->setCursorPosition(0);
        auto *caretWatch = f.window->findChild<QTimer *>(QStringLiteral("Timer_cboRenommer"));
        QVERIFY(caretWatch && caretWatch->isActive());
        QTest::qWait(caretWatch->interval() + 100);
        QLabel *year = ui.Label8[2];
        ui.lstAstuce->setCurrentRow(0);
        QTest::mouseClick(year, Qt::LeftButton, {}, year->rect().center());
        const QString thisYear = QString::number(QDate::currentDate().year());
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$A$abc"));
        QCOMPARE(ui.cboRenommer->lineEdit()->cursorPosition(), 3);
        QCOMPARE(f.newNames(), QStringList{thisYear + QStringLiteral("abc.jpg")});

        // The screen reader's press and the keyboard insert as a click does.
        ui.lstAstuce->setCurrentRow(2);
        QAccessibleInterface *number = QAccessible::queryAccessibleInterface(ui.Label8[22]);
        QCOMPARE(number->role(), QAccessible::Button);
        number->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$A$$N$abc"));
        QTest::keyClick(ui.Label8[1], Qt::Key_Space);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$A$$N$*abc"));
        QCOMPARE(f.newNames(), QStringList{thisYear + QStringLiteral("0042IMG_0042abc.jpg")});

        // $MKDIR stands for the whole rule, and its lone "$" is worth a warning.
        QVERIFY(f.box.shown.isEmpty());
        ui.Label8[31]->setFocus();
        QTest::keyClick(ui.Label8[31], Qt::Key_Return);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$MKDIR"));
        QCOMPARE(f.box.texts(), QStringList{f.message(92)});

    }

    // The three buttons, a pick from the list and the comment dialog, as the
    // user meets them; what each keeps is the engine's table.
    void memorisedRulesComeBackWithTheirOptions()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        f.window->affiche_nom(QStringLiteral("/d/a b.txt"));
        ui.cboRenommer->setEditText(QStringLiteral("IMG_#"));
        ui.txtDebut->setText(QStringLiteral("5"));
        ui.chkUpperCaseFirstWord->setChecked(true);
        ui.cmdPrendrePlus->click();
        ui.cboRenommer->setEditText(QStringLiteral("* x"));
        ui.txtDebut->setText(QStringLiteral("1"));
        ui.chkUpperCaseFirstWord->setChecked(false);
        ui.cmdPrendrePlus->click();
        ui.cmdPrendrePlus->click();
        QCOMPARE(ui.cboRenommer->count(), 2);

        ui.cboRenommer->setCurrentIndex(0);
        emit ui.cboRenommer->activated(0);
        QCOMPARE(ui.txtDebut->text(), QStringLiteral("5"));
        QVERIFY(ui.chkUpperCaseFirstWord->isChecked());
        QCOMPARE(f.newNames(), QStringList{"IMG_5.txt"});

        // The comment dialog refuses a bracket and stays open; then it takes the values.
        const auto outcome = test::onNextModal([&f](QWidget *dialog) {
            auto *comment = dialog->findChild<QLineEdit *>(QStringLiteral("txtCommentaire"));
            auto *filter = dialog->findChild<QLineEdit *>(QStringLiteral("txtExtension"));
            comment->setText(QStringLiteral("Photos (2024)"));
            test::clickButton(dialog, "cmdOK");
            QVERIFY(dialog->isVisible());
            QCOMPARE(f.box.texts(), QStringList{f.message(99)});
            comment->setText(QStringLiteral(" Photos "));
            filter->setText(QStringLiteral("JPG"));
            test::clickButton(dialog, "cmdOK");
        });
        QTest::mouseDClick(ui.lblComment, Qt::LeftButton);
        QVERIFY(outcome->seen && !outcome->stuck);
        QCOMPARE(ui.lblComment->text(), QStringLiteral("Photos (JPG)"));
        // A new filter recomputes the names.
        QCOMPARE(f.newNames(), QStringList{f.message(97)});

        f.box.answers = {lang::MsgAnswer::Yes};
        ui.cmdPrendreMoins->click();
        QCOMPARE(f.box.shown.last().text, f.message(31, QStringLiteral("IMG_#")));
        QCOMPARE(f.box.shown.last().style, lang::MsgStyle::Information + lang::MsgStyle::YesNo);
        QCOMPARE(ui.cboRenommer->count(), 1);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("* x"));
        QCOMPARE(ui.lblComment->text(), f.message(93) + QStringLiteral(" (*)"));

        f.box.answers = {lang::MsgAnswer::No, lang::MsgAnswer::Yes};
        ui.cmdPrendreSupprimer->click();
        QCOMPARE(ui.cboRenommer->count(), 1);
        ui.cmdPrendreSupprimer->click();
        QCOMPARE(f.box.shown.last().text, f.message(30));
        QCOMPARE(ui.cboRenommer->count(), 0);
        QCOMPARE(ui.cboRenommer->currentText(), QString());
    }
};

QTEST_MAIN(tst_ruleedit)
#include "tst_ruleedit.moc"
