// The aids around the rule box: the check of the rule once typing pauses, the
// field checks of the counter and position boxes, the two directive forms, the
// token labels that insert their token where the caret was, and the memorised
// rules with the comment of the current one.

#include "mainwindow/frmMain.h"

#include "app/AppContext.h"
#include "common/Vb.h"
#include "common/VbError.h"
#include "mainwindow/EventHook.h"
#include "mainwindow/frmMemoriseRegle.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "rules/RegexDirective.h"
#include "rules/RuleCheck.h"
#include "rules/RuleTools.h"
#include "settings/MemorisedRules.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

namespace tarvello::mainwindow {

namespace {

// The token label that inserts $MKDIR: its token replaces the whole rule.
constexpr int kMkdirLabel = 31;

// A typed rule is checked once the typing has paused this long, looked at
// every tick.
constexpr qint64 kRulePauseMs = 1000;
constexpr int kRulePauseTickMs = 100;

const QRegularExpression &tokenLabelName()
{
    static const QRegularExpression name(QStringLiteral("^Label8\\(\\d+\\)$"));
    return name;
}

// Token labels read as buttons on the accessibility bus, and pressing one
// there inserts its token as a click does.
class TokenLabelAccessible : public QAccessibleWidget
{
public:
    explicit TokenLabelAccessible(QWidget *label)
        : QAccessibleWidget(label, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString &action) override
    {
        if (action != pressAction() || !widget()->isEnabled())
            return;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(widget(), &press);
    }
};

QAccessibleInterface *tokenLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QLabel") && tokenLabelName().match(object->objectName()).hasMatch())
        return new TokenLabelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

// Focus that comes and goes with another window or a drop-down list is not
// the user entering or leaving a box.
bool movesWithinWindow(QEvent *event)
{
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

int checkedIndex(const QList<QRadioButton *> &buttons)
{
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->isChecked())
            return i;
    }
    return -1;
}

void paintToken(QLabel *label, bool hot)
{
    QPalette palette = label->palette();
    const QColor colour = hot ? QColor(255, 0, 0) : QColor(0, 0, 0);
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

void frmMain::connectRuleEdit()
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(tokenLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    m_updateTimer = makeTimer("Timer_update", kRulePauseTickMs, &frmMain::Timer_update);
    m_caretTimer = makeTimer("Timer_cboRenommer", 500, &frmMain::Timer_cboRenommer);

    connect(m_ui.cboRenommer, &QComboBox::editTextChanged, this, &frmMain::cboRenommer_Change);
    new EventHook(m_ui.cboRenommer, [this](QObject *, QEvent *event) { return cboRenommerEvent(event); });

    QList<QLineEdit *> fields = {m_ui.txtDebut, m_ui.txtPas, m_ui.txtNbPasse};
    fields.append(m_ui.txtRepPos);
    for (QLineEdit *field : std::as_const(fields)) {
        new EventHook(field, [this](QObject *watched, QEvent *event) {
            if (event->type() == QEvent::FocusOut && movesWithinWindow(event))
                fieldLostFocus(watched);
            return false;
        });
    }

    for (const auto *group : {&m_ui.optRepPos, &m_ui.optRepPosDebutFin, &m_ui.optRepStr}) {
        for (QRadioButton *option : *group)
            connect(option, &QRadioButton::toggled, this, &frmMain::showRepForms);
    }
    connect(m_ui.cmdRepPos, &QPushButton::clicked, this, &frmMain::cmdRepPos_Click);
    connect(m_ui.cmdRepStr, &QPushButton::clicked, this, &frmMain::cmdRepStr_Click);
    connect(m_ui.cmdRepRegx, &QPushButton::clicked, this, &frmMain::cmdRepRegx_Click);

    for (int i = 0; i < m_ui.Label8.size(); ++i) {
        new EventHook(m_ui.Label8[i], [this, i](QObject *, QEvent *event) { return tokenLabelEvent(i, event); });
        paintToken(m_ui.Label8[i], false);
    }

    connect(m_ui.cboRenommer, &QComboBox::activated, this, &frmMain::cboRenommer_Click);
    connect(m_ui.cmdPrendrePlus, &QPushButton::clicked, this, &frmMain::cmdPrendrePlus_Click);
    connect(m_ui.cmdPrendreMoins, &QPushButton::clicked, this, &frmMain::cmdPrendreMoins_Click);
    connect(m_ui.cmdPrendreSupprimer, &QPushButton::clicked, this, &frmMain::cmdPrendreSupprimer_Click);
    new EventHook(m_ui.lblComment, [this](QObject *, QEvent *event) {
        if (event->type() != QEvent::MouseButtonDblClick)
            return false;
        lblComment_DblClick();
        return true;
    });
}

void frmMain::checkRule(bool focusBack)
{
    if (!m_ready)
        return;
    lang::Language &language = m_context.language;
    const QString rule = m_ui.cboRenommer->currentText();
    if (rules::checkNbDollarIsPair(rule))
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(92)), lang::MsgStyle::Information,
                             language.GetMessage(1));
    if (const std::optional<rules::RegexRefusal> refusal = rules::regexRefusal(rule)) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(rules::regexRefusalText(language, *refusal)),
                             lang::MsgStyle::Information, language.GetMessage(2));
        return;
    }
    if (const std::optional<QString> refusal = rules::ruleRefusal(rule)) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(21, *refusal)), lang::MsgStyle::Information,
                             language.GetMessage(2));
        return;
    }
    if (rules::holdsControlCharacter(rule)) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.extra(QStringLiteral("RuleControlCharacter"))),
                             lang::MsgStyle::Information, language.GetMessage(2));
        return;
    }
    QLineEdit *edit = m_ui.cboRenommer->lineEdit();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = edit->selectionLength();
    update_names();
    if (focusBack) {
        m_ui.cboRenommer->setFocus();
        if (selectionLength > 0)
            edit->setSelection(selectionStart, selectionLength);
        if (m_caret >= 0)
            edit->setCursorPosition(m_caret);
    }
    m_lastRule = rule;
}

void frmMain::cboRenommer_Change()
{
    m_ruleEditStamp.emplace();
    m_ruleEditStamp->start();
}

bool frmMain::cboRenommerEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (!movesWithinWindow(event))
            return false;
        m_updateTimer->start();
        m_caretTimer->start();
        // A change left pending when an operation took the box over is
        // checked once the box is back.
        if (!std::exchange(m_ruleBoxTaken, false)) {
            m_ruleEditStamp.reset();
            m_lastRule = m_ui.cboRenommer->currentText();
        }
        return false;
    case QEvent::FocusOut:
        if (!movesWithinWindow(event))
            return false;
        m_updateTimer->stop();
        m_caretTimer->stop();
        // Disabled by a starting operation: nothing is checked inside it.
        m_ruleBoxTaken = !m_ui.cboRenommer->isEnabled();
        if (m_ruleBoxTaken)
            return false;
        if (m_ruleEditStamp && m_ui.cboRenommer->currentText() != m_lastRule)
            checkRule(false);
        m_ruleEditStamp.reset();
        return false;
    case QEvent::KeyPress: {
        // The caret is sampled twice a second; keys keep it current between.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (m_caret < 0)
            return false;
        if (key->key() == Qt::Key_Backspace)
            m_caret = qint16(std::max(0, m_caret - 1));
        else if (!key->text().isEmpty() && key->text().at(0).unicode() >= 32)
            ++m_caret;
        return false;
    }
    default:
        return false;
    }
}

void frmMain::Timer_update()
{
    // The check comes once the typing has paused a second (to a tick more).
    if (!m_ruleEditStamp || m_ruleEditStamp->elapsed() < kRulePauseMs)
        return;
    m_ruleEditStamp.reset();
    checkRule(true);
}

void frmMain::Timer_cboRenommer()
{
    m_caret = qint16(m_ui.cboRenommer->lineEdit()->cursorPosition());
}

void frmMain::fieldLostFocus(QObject *field)
{
    // A box disabled by a starting operation is checked when it is left again.
    if (!static_cast<QWidget *>(field)->isEnabled())
        return;
    if (field == m_ui.txtDebut)
        txtDebut_LostFocus();
    else if (field == m_ui.txtPas)
        txtPas_LostFocus();
    else if (field == m_ui.txtNbPasse)
        txtNbPasse_LostFocus();
    else
        txtRepPos_LostFocus(int(m_ui.txtRepPos.indexOf(static_cast<QLineEdit *>(field))));
}

void frmMain::showNotANumber()
{
    lang::Language &language = m_context.language;
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(QStringLiteral("\r\n") + language.GetMessage(13)),
                         lang::MsgStyle::Exclamation, language.GetMessage(2));
}

void frmMain::txtDebut_LostFocus()
{
    if (m_ready)
        counterFieldLostFocus(m_ui.txtDebut, rules::CounterBox::Start);
}

void frmMain::txtPas_LostFocus()
{
    if (m_ready)
        counterFieldLostFocus(m_ui.txtPas, rules::CounterBox::Step);
}

void frmMain::showOutOfRange(rules::CounterBox box, const QString &typed)
{
    lang::Language &language = m_context.language;
    const QString key = box == rules::CounterBox::Start ? QStringLiteral("StartOutOfRange") : QStringLiteral("OptionOutOfRange");
    m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.extra(key, typed.trimmed())), lang::MsgStyle::Exclamation,
                         language.GetMessage(2));
}

bool frmMain::counterFieldsFit()
{
    const std::pair<QLineEdit *, rules::CounterBox> boxes[] = {{m_ui.txtDebut, rules::CounterBox::Start},
                                                                {m_ui.txtPas, rules::CounterBox::Step},
                                                                {m_ui.txtNbPasse, rules::CounterBox::Passes}};
    for (const auto &[field, box] : boxes) {
        const QString typed = field->text();
        const rules::CounterBoxCheck check = rules::checkCounterBox(box, typed);
        if (check.verdict == rules::CounterBoxCheck::Verdict::OutOfRange) {
            field->setText(check.text);
            showOutOfRange(box, typed);
            return false;
        }
    }
    return true;
}

// The start and step are stored as soon as their box is left, and the names
// follow; the number of passes is read only when the positions are replaced.
void frmMain::counterFieldLostFocus(QLineEdit *field, rules::CounterBox box)
{
    using Verdict = rules::CounterBoxCheck::Verdict;
    settings::RuleOptions &rule = m_context.settings.rule;
    const QString typed = field->text();
    const rules::CounterBoxCheck check = rules::checkCounterBox(box, typed);
    if (check.text != typed)
        field->setText(check.text);
    const qint32 value = check.verdict == Verdict::Continuation ? settings::kContinuationStart : check.value;
    bool changed = false;
    if (box == rules::CounterBox::Start) {
        changed = rule.counterStart != value;
        rule.counterStart = value;
    } else if (box == rules::CounterBox::Step) {
        changed = rule.counterStep != value;
        rule.counterStep = qint16(value);
    }
    if (check.verdict == Verdict::NotANumber)
        showNotANumber();
    else if (check.verdict == Verdict::OutOfRange)
        showOutOfRange(box, typed);
    else if (check.verdict == Verdict::Continuation || changed)
        update_names();
}

void frmMain::txtNbPasse_LostFocus()
{
    counterFieldLostFocus(m_ui.txtNbPasse, rules::CounterBox::Passes);
}

void frmMain::txtRepPos_LostFocus(int index)
{
    QLineEdit *field = m_ui.txtRepPos.value(index);
    if (!field)
        return;
    try {
        field->setText(rules::positionFieldText(field->text()));
    } catch (const common::VbError &error) {
        m_msgBox.ReportError(error, QStringLiteral("txtRepPos_LostFocus (Feuille frmMain)"));
    }
}

void frmMain::showRepForms()
{
    // The fields of the chosen forms only; objetOnOff takes them all over
    // while the window is busy and gives them back through here.
    if (!m_ui.cmdRepPos->isEnabled())
        return;
    const int range = checkedIndex(m_ui.optRepPos);
    for (int i = 0; i < 4; ++i) {
        const bool chosen = (range == 0 && i < 2) || (range == 1 && i == 2) || (range == 2 && i == 3);
        m_ui.lblRepPos[i]->setEnabled(chosen);
        m_ui.txtRepPos[i]->setEnabled(chosen);
    }
    const int origin = checkedIndex(m_ui.optRepPosDebutFin);
    for (int i = 0; i < m_ui.lblRepPosDebutFin.size(); ++i)
        m_ui.lblRepPosDebutFin[i]->setEnabled(i == origin);
    const int choice = checkedIndex(m_ui.optRepStr);
    m_ui.lblRepStr[1]->setEnabled(choice == 1);
    m_ui.lblRepStr[2]->setEnabled(choice == 2);
}

void frmMain::cmdRepPos_Click()
{
    rules::PositionForm form;
    form.range = checkedIndex(m_ui.optRepPos);
    for (int i = 0; i < 4; ++i)
        form.positions[i] = m_ui.txtRepPos[i]->text();
    form.origin = checkedIndex(m_ui.optRepPosDebutFin);
    form.replacement = m_ui.txtRemplacerPos->text();
    m_ui.cboRenommer->setEditText(rules::positionDirective(form));
    checkRule(true);
    m_ruleEditStamp.reset();
}

void frmMain::cmdRepStr_Click()
{
    if (m_ui.txtRechercher->text().isEmpty()) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.GetMessage(51)), lang::MsgStyle::Information,
                             QStringLiteral("Message"));
        return;
    }
    m_ui.cboRenommer->setEditText(
        rules::textDirective(m_ui.txtRechercher->text(), m_ui.txtRemplacer->text(), checkedIndex(m_ui.optRepStr)));
    checkRule(true);
    m_ruleEditStamp.reset();
}

void frmMain::cmdRepRegx_Click()
{
    if (m_ui.txtRegxMotif->text().isEmpty()) {
        m_msgBox.KVvrMesgBox(lang::ui::widgetText(m_context.language.extra(QStringLiteral("RegexNoPattern"))),
                             lang::MsgStyle::Information, QStringLiteral("Message"));
        return;
    }
    m_ui.cboRenommer->setEditText(rules::regexDirective(m_ui.txtRegxMotif->text(), m_ui.txtRegxRemplacer->text(),
                                                        m_ui.chkRegxCasse->isChecked(), m_ui.chkRegxTout->isChecked()));
    checkRule(true);
    m_ruleEditStamp.reset();
}

void frmMain::translateRegexForm()
{
    const lang::Language &language = m_context.language;
    const auto text = [&](const char *key) { return lang::ui::widgetText(language.extra(QLatin1String(key))); };
    m_ui.lblRegxAide->setText(text("RegexHelp"));
    m_ui.lblRegxMotif->setText(text("RegexPatternCaption"));
    m_ui.txtRegxMotif->setToolTip(text("RegexPatternToolTip"));
    m_ui.lblRegxRemplacer->setText(text("RegexReplacementCaption"));
    m_ui.txtRegxRemplacer->setToolTip(text("RegexReplacementToolTip"));
    m_ui.chkRegxCasse->setText(text("RegexIgnoreCase"));
    m_ui.chkRegxTout->setText(text("RegexEveryMatch"));
    m_ui.cmdRepRegx->setText(text("RegexMakeCaption"));
    m_ui.cmdRepRegx->setToolTip(text("RegexMakeToolTip"));
}

bool frmMain::tokenLabelEvent(int index, QEvent *event)
{
    QLabel *label = m_ui.Label8[index];
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseButtonPress:
        paintToken(label, true);
        return false;
    case QEvent::Leave:
        paintToken(label, false);
        return false;
    case QEvent::MouseButtonRelease: {
        paintToken(label, false);
        const auto *release = static_cast<QMouseEvent *>(event);
        if (release->button() == Qt::LeftButton && label->rect().contains(release->position().toPoint()))
            Label8_Click(index);
        return false;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        Label8_Click(index);
        return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        // A keyboard user sees which token Space would insert.
        QFont font = label->font();
        font.setUnderline(event->type() == QEvent::FocusIn);
        label->setFont(font);
        return false;
    }
    default:
        return false;
    }
}

void frmMain::Label8_Click(int index)
{
    if (!m_ui.Label8[index]->isEnabled())
        return;
    const QString token = rules::tokenOfCaption(m_ui.Label8[index]->text());
    const QString rule = m_ui.cboRenommer->currentText();
    const int at = m_caret < 0 || m_caret > rule.size() ? int(rule.size()) : m_caret;
    const QString inserted = index == kMkdirLabel ? token : rules::insertToken(rule, at, token);
    m_caret = qint16(std::min<qsizetype>(at + token.size(), inserted.size()));
    m_ui.cboRenommer->setEditText(inserted);
    m_ui.cboRenommer->setFocus();
    m_ui.cboRenommer->lineEdit()->setCursorPosition(m_caret);
    checkRule(true);
    m_ruleEditStamp.reset();
}

void frmMain::cboRenommer_Click(int)
{
    // The option boxes take the memorised values without each recomputing;
    // the names follow once, as for any new rule text.
    const bool ready = std::exchange(m_ready, false);
    settings::Settings &s = m_context.settings;
    if (settings::applyMemorisedRule(s, m_ui.cboRenommer->currentText(), m_context.language)) {
        showRuleOptions();
        showComment(s.rule.comment, s.rule.extensionFilter);
    }
    m_ready = ready;
    checkRule(false);
    m_ruleEditStamp.reset();
}

void frmMain::cmdPrendrePlus_Click()
{
    settings::Settings &s = m_context.settings;
    try {
        if (settings::memoriseRule(s, m_context.language))
            m_ui.cboRenommer->addItem(s.rule.rule);
    } catch (const common::VbError &error) {
        m_msgBox.ReportError(error, QStringLiteral("cmdPrendrePlus_Click (Feuille frmMain)"));
    }
}

void frmMain::cmdPrendreMoins_Click()
{
    settings::Settings &s = m_context.settings;
    lang::Language &language = m_context.language;
    try {
        const QString rule = m_ui.cboRenommer->currentText();
        // A rule typed but never memorised has nothing to forget.
        const int entry = m_ui.cboRenommer->findText(rule, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (rule.isEmpty() || entry < 0)
            return;
        if (m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(31, rule)),
                                 lang::MsgStyle::Information + lang::MsgStyle::YesNo, language.GetMessage(1))
            != lang::MsgAnswer::Yes)
            return;
        settings::forgetRule(s, rule, language);
        // Removing the shown entry puts another text in the box: the one the
        // forgetting chose goes in after.
        const QString next = s.rule.rule;
        m_ui.cboRenommer->removeItem(entry);
        m_ui.cboRenommer->setEditText(next);
        showComment(s.rule.comment, s.rule.extensionFilter);
        checkRule(false);
    } catch (const common::VbError &error) {
        m_msgBox.ReportError(error, QStringLiteral("cmdPrendreMoins_Click (Feuille frmMain)"));
    }
}

void frmMain::cmdPrendreSupprimer_Click()
{
    settings::Settings &s = m_context.settings;
    lang::Language &language = m_context.language;
    try {
        if (m_msgBox.KVvrMesgBox(lang::ui::widgetText(language.GetMessage(30)),
                                 lang::MsgStyle::Information + lang::MsgStyle::YesNo, language.GetMessage(1))
            != lang::MsgAnswer::Yes)
            return;
        settings::forgetAllRules(s, language);
        m_ui.cboRenommer->clear();
        m_ui.cboRenommer->setEditText(QString());
        showComment(s.rule.comment, s.rule.extensionFilter);
        checkRule(false);
    } catch (const common::VbError &error) {
        m_msgBox.ReportError(error, QStringLiteral("cmdPrendreSupprimer_Click (Feuille frmMain)"));
    }
}

void frmMain::lblComment_DblClick()
{
    settings::RuleOptions &rule = m_context.settings.rule;
    const QString filter = rule.extensionFilter;
    frmMemoriseRegle dialog(m_context.language, m_msgBox, m_context.settings.General_AfficherImageBouton != 0,
                            rule.comment, rule.extensionFilter, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rule.comment = dialog.comment();
    rule.extensionFilter = dialog.extensionFilter();
    showComment(rule.comment, rule.extensionFilter);
    // The filter decides which files the rule renames.
    if (rule.extensionFilter != filter)
        checkRule(false);
}

} // namespace tarvello::mainwindow
