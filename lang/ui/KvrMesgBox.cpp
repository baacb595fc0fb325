#include "lang/ui/KvrMesgBox.h"

#include "app/AppContext.h"
#include "common/Twips.h"
#include "common/Vb.h"
#include "common/VbError.h"
#include "lang/Language.h"
#include "lang/ui/Translate.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTextLayout>
#include <QTimer>

#include <optional>

namespace tarvello::lang::ui {

namespace {

using common::pixelsToTwips;
using common::twipsToPixels;

const QString kWindowName = QStringLiteral("frmKVRMsgBox");

// Design sizes of the window, in twips.
constexpr int kMargin = 240;
constexpr int kPictureSize = 480;
constexpr int kTextLeft = 840;
constexpr int kTextTop = 240;
constexpr int kTextMinWidth = 2400;
constexpr int kTextMaxWidth = 9000;
constexpr int kButtonWidth = 1200;
constexpr int kButtonHeight = 375;
// What the window adds to its text, and where its bottom rows stand.
constexpr int kExtraWidth = 1200;
constexpr int kExtraHeight = 1500;
constexpr int kRowSpare = 500;
constexpr int kButtonBottom = 500;
constexpr int kMemoryBottom = 700;
// Room a title bar takes beside its text (icon, buttons), and below a window.
constexpr int kTitleAllowance = 900;
constexpr int kScreenAllowance = 1200;

struct ButtonDesign {
    const char *name;
    int answer;
    const char *caption;
    const char *imageRole;
};

// Designed captions, replaced by the language file's frmKVRMsgBox section.
constexpr ButtonDesign kButtons[] = {
    {"cmdOK", MsgAnswer::OK, "OK", "oui"},
    {"cmdOui", MsgAnswer::Yes, "&Oui", "oui"},
    {"cmdNon", MsgAnswer::No, "&Non", "non"},
    {"cmdModifier", MsgAnswer::Modify, "&Modifier", "modifier"},
    {"cmdAnnuler", MsgAnswer::Cancel, "&Annuler", "annuler"},
};

const char *const kPictureNames[] = {"picVbInformation", "picVbExclamation", "picVbQuestion", "picVbCritical"};
const QStyle::StandardPixmap kPictureIcons[] = {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxWarning,
                                                QStyle::SP_MessageBoxQuestion, QStyle::SP_MessageBoxCritical};

const QString kMemorySection = QStringLiteral("DialogBox/");
const QString kMemoryAnswer = QStringLiteral("_Reponse");

const QString kStoreName = QStringLiteral("Tarvello");

// Writes values of the "do not show again" memory; false when the store
// could not be written.
bool storeMemory(const QList<QPair<QString, QString>> &values)
{
    QSettings store(kStoreName, kStoreName);
    for (const auto &[key, value] : values)
        store.setValue(kMemorySection + key, value);
    store.sync();
    return store.status() == QSettings::NoError;
}

// The answer kept for a message the user asked not to see again, when it is
// one this button set can give. A key ticked by hand without an answer kept
// beside it shows the message.
std::optional<int> rememberedAnswer(const QString &memoryKey, int buttonSet)
{
    if (memoryKey.isEmpty())
        return std::nullopt;
    const QSettings store(kStoreName, kStoreName);
    if (store.value(kMemorySection + memoryKey).toString() != QLatin1String("1"))
        return std::nullopt;
    const int answer = store.value(kMemorySection + memoryKey + kMemoryAnswer).toInt();
    for (const QString &button : buttonsOfSet(buttonSet)) {
        if (answerOfButton(button) == answer)
            return answer;
    }
    return std::nullopt;
}

// The text broken into lines no wider than maxWidth pixels, at word boundaries
// where it can and anywhere else (a long path has no blank to break at).
QString wrapText(const QString &text, const QFont &font, int maxWidth)
{
    QStringList lines;
    const QStringList paragraphs = widgetText(text).split(QLatin1Char('\n'));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString &paragraph : paragraphs) {
        if (paragraph.isEmpty()) {
            lines.append(QString());
            continue;
        }
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(maxWidth);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            // The blank a line was broken at stays with the line before; drop it there.
            if (line.textStart() + line.textLength() < paragraph.size()) {
                while (piece.endsWith(QLatin1Char(' ')))
                    piece.chop(1);
            }
            lines.append(piece);
        }
        layout.endLayout();
    }
    return lines.join(QLatin1Char('\n'));
}

// The window a message stands over: the modal one when there is one.
QWidget *dialogParent()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
}

} // namespace

StyleParts splitStyle(int style)
{
    struct IconValue {
        int value;
        bool StyleParts::*shown;
    };
    static constexpr IconValue kIcons[] = {{MsgStyle::Information, &StyleParts::information},
                                           {MsgStyle::Exclamation, &StyleParts::exclamation},
                                           {MsgStyle::Question, &StyleParts::question},
                                           {MsgStyle::Critical, &StyleParts::critical}};
    StyleParts parts;
    int rest = style;
    for (const IconValue &icon : kIcons) {
        if (rest >= icon.value) {
            parts.*icon.shown = true;
            rest -= icon.value;
        }
    }
    parts.buttonSet = rest;
    return parts;
}

QStringList buttonsOfSet(int buttonSet)
{
    switch (buttonSet) {
    case MsgStyle::OKCancel:
        return {QStringLiteral("cmdOK"), QStringLiteral("cmdAnnuler")};
    case MsgStyle::YesNoCancel:
        return {QStringLiteral("cmdOui"), QStringLiteral("cmdNon"), QStringLiteral("cmdAnnuler")};
    case MsgStyle::YesNo:
        return {QStringLiteral("cmdOui"), QStringLiteral("cmdNon")};
    case MsgStyle::YesNoModify:
        return {QStringLiteral("cmdOui"), QStringLiteral("cmdNon"), QStringLiteral("cmdModifier")};
    default:
        return {QStringLiteral("cmdOK")};
    }
}

int answerOfButton(const QString &objectName)
{
    for (const ButtonDesign &design : kButtons) {
        if (objectName == QLatin1String(design.name))
            return design.answer;
    }
    return 0;
}

ButtonRow layoutButtonRow(int windowWidth, const QList<int> &buttonWidths, int rowStart)
{
    ButtonRow row;
    int total = 0;
    for (const int width : buttonWidths)
        total += width;
    // The buttons get at least 500 twips to share between their gaps; a window
    // with less room than that would leave them touching or overlapping.
    row.windowWidth = windowWidth - rowStart < total + kRowSpare ? rowStart + total + kRowSpare : windowWidth;
    const double gap = double(row.windowWidth - rowStart - total) / double(buttonWidths.size() + 1);
    row.gap = common::vbCLng(gap);
    int left = rowStart + row.gap;
    for (const int width : buttonWidths) {
        row.lefts.append(left);
        left += width + row.gap;
    }
    return row;
}

frmKVRMsgBox::frmKVRMsgBox(const Language &language, bool images, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(kWindowName);
    for (const char *name : kPictureNames) {
        auto *picture = new QLabel(this);
        picture->setObjectName(QLatin1String(name));
        picture->hide();
        m_pictures.append(picture);
    }
    m_textArea = new QScrollArea(this);
    m_textArea->setFrameShape(QFrame::NoFrame);
    m_textArea->setWidgetResizable(false);
    m_textArea->setBackgroundRole(QPalette::Window);
    m_textArea->setFocusPolicy(Qt::NoFocus);
    m_lblMsg = new QLabel;
    m_lblMsg->setObjectName(QStringLiteral("lblMsg"));
    m_lblMsg->setTextFormat(Qt::PlainText);
    m_lblMsg->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_textArea->setWidget(m_lblMsg);

    for (const ButtonDesign &design : kButtons) {
        auto *button = new QPushButton(QString::fromUtf8(design.caption), this);
        button->setObjectName(QLatin1String(design.name));
        button->setAutoDefault(false);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, button] { answerWith(button); });
        m_buttons.append(button);
        if (images)
            SetButtonImage(button, language, QLatin1String(design.imageRole));
    }
    m_chkAfficher = new QCheckBox(QStringLiteral("Ne plus afficher ce message"), this);
    m_chkAfficher->setObjectName(QStringLiteral("chkAfficher"));
    m_chkAfficher->hide();
    connect(m_chkAfficher, &QCheckBox::clicked, this, &frmKVRMsgBox::chkAfficher_Click);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setInterval(KvrMesgBox::kTimerPeriodMs);
    connect(m_timer, &QTimer::timeout, this, &frmKVRMsgBox::Timer_Timer);

    TranslateForm(this, language);
}

void frmKVRMsgBox::present(const QString &text, const StyleParts &parts, const QString &title, qint16 delay,
                           const QString &memoryKey, const QStringList &captions)
{
    const double dpi = logicalDpiX();
    auto px = [dpi](double twips) { return twipsToPixels(twips, dpi); };
    auto tw = [dpi](double pixels) { return pixelsToTwips(pixels, dpi); };

    const bool shown[] = {parts.information, parts.exclamation, parts.question, parts.critical};
    const int pictureSize = px(kPictureSize);
    for (int i = 0; i < m_pictures.size(); ++i) {
        m_pictures[i]->setPixmap(style()->standardIcon(kPictureIcons[i], nullptr, this).pixmap(pictureSize));
        m_pictures[i]->setGeometry(px(kMargin), px(kMargin), pictureSize, pictureSize);
        m_pictures[i]->setVisible(shown[i]);
    }
    m_delay = delay;

    // The text keeps to the screen: long lines wrap, and a text taller than the
    // screen scrolls inside the window instead of pushing the buttons off it.
    const QRect screen = (parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
                             ->availableGeometry();
    const int maxWidth = qMin(kTextMaxWidth, tw(screen.width()) - kExtraWidth - kScreenAllowance);
    const int maxHeight = tw(screen.height()) - kExtraHeight - kScreenAllowance;
    const int titleWidth = tw(fontMetrics().horizontalAdvance(title)) + kTitleAllowance;
    const int minWidth = qMin(maxWidth, qMax(kTextMinWidth, titleWidth));
    m_lblMsg->setText(wrapText(text, m_lblMsg->font(), px(maxWidth)));
    m_lblMsg->adjustSize();
    const bool scrolls = tw(m_lblMsg->height()) > maxHeight;
    const int scrollBar = scrolls ? tw(m_textArea->verticalScrollBar()->sizeHint().width()) : 0;
    const int textWidth = qMax(minWidth, tw(m_lblMsg->width()) + scrollBar);
    const int textHeight = qMin(tw(m_lblMsg->height()), maxHeight);
    m_lblMsg->resize(px(textWidth) - px(scrollBar), m_lblMsg->height());
    m_textArea->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_textArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textArea->setGeometry(px(kTextLeft), px(kTextTop), px(textWidth), px(textHeight));
    setWindowTitle(title);
    int width = textWidth + kExtraWidth;
    const int height = textHeight + kExtraHeight;

    m_memoryKey = memoryKey;
    m_chkAfficher->setVisible(!memoryKey.isEmpty());
    const QSize memorySize = m_chkAfficher->sizeHint();
    const int rowStart = memoryKey.isEmpty() ? 0 : kMargin + tw(memorySize.width());

    const QStringList names = buttonsOfSet(parts.buttonSet);
    for (qsizetype i = 0; i < qMin(names.size(), captions.size()); ++i)
        findChild<QPushButton *>(names.at(i))->setText(captions.at(i));
    QList<QPushButton *> visible;
    QList<int> widths;
    int buttonHeight = kButtonHeight;
    for (QPushButton *button : std::as_const(m_buttons)) {
        button->setVisible(names.contains(button->objectName()));
        button->setEnabled(true);
        buttonHeight = qMax(buttonHeight, tw(button->sizeHint().height()));
    }
    for (const QString &name : names) {
        auto *button = findChild<QPushButton *>(name);
        visible.append(button);
        widths.append(qMax(kButtonWidth, tw(button->sizeHint().width())));
    }
    const ButtonRow row = layoutButtonRow(width, widths, rowStart);
    width = row.windowWidth;
    const int buttonTop = height - kButtonBottom - buttonHeight;
    for (int i = 0; i < visible.size(); ++i)
        visible[i]->setGeometry(px(row.lefts[i]), px(buttonTop), px(widths[i]), px(buttonHeight));
    m_chkAfficher->setGeometry(px(kMargin), px(height - kMemoryBottom) - memorySize.height(), memorySize.width(),
                               memorySize.height());
    setFixedSize(px(width), px(height));

    visible.first()->setDefault(true);
    visible.first()->setFocus();
    const bool closable = escapeButton() != nullptr;
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | (closable ? Qt::WindowCloseButtonHint : Qt::WindowType(0)));

    if (m_delay > 0) {
        for (QPushButton *button : std::as_const(visible))
            button->setEnabled(false);
        m_timer->start();
    }
}

void frmKVRMsgBox::Timer_Timer()
{
    if (m_delay <= 0)
        return;
    --m_delay;
    if (m_delay == 0) {
        for (QPushButton *button : std::as_const(m_buttons))
            button->setEnabled(true);
        m_timer->stop();
    }
}

QPushButton *frmKVRMsgBox::escapeButton() const
{
    for (const char *name : {"cmdAnnuler", "cmdOK"}) {
        auto *button = findChild<QPushButton *>(QLatin1String(name));
        if (button && !button->isHidden())
            return button;
    }
    return nullptr;
}

void frmKVRMsgBox::reject()
{
    QPushButton *button = escapeButton();
    if (button && button->isEnabled())
        button->click();
}

void frmKVRMsgBox::answerWith(QPushButton *button)
{
    m_answer = answerOfButton(button->objectName());
    if (!m_memoryKey.isEmpty() && m_chkAfficher->isChecked()
        && !storeMemory({{m_memoryKey + kMemoryAnswer, QString::number(m_answer)}}))
        m_memoryWriteFailed = true;
    done(m_answer);
}

void frmKVRMsgBox::chkAfficher_Click()
{
    const QString value = m_chkAfficher->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (!storeMemory({{m_memoryKey, value}}))
        m_memoryWriteFailed = true;
}

KvrMesgBox::KvrMesgBox(app::AppContext &context)
    : m_context(context)
{
}

bool KvrMesgBox::messageShowing()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->objectName() == kWindowName && window->isVisible())
            return true;
    }
    return false;
}

int KvrMesgBox::KVvrMesgBox(const QString &text, int style, const QString &title, int delay,
                            const QString &memoryKey)
{
    return show(text, style, title, delay, memoryKey, {});
}

int KvrMesgBox::askWithCaptions(const QString &text, int style, const QString &title, const QStringList &captions)
{
    return show(text, style, title, 0, {}, captions);
}

int KvrMesgBox::show(const QString &text, int style, const QString &title, int delay, const QString &memoryKey,
                     const QStringList &captions)
{
    if (messageShowing())
        return m_result;
    qint16 style16 = 0;
    qint16 delay16 = 0;
    try {
        // The style and the delay are 16-bit numbers, as they always were.
        style16 = common::vbCInt(double(style));
        delay16 = common::vbCInt(double(delay));
    } catch (const common::VbError &error) {
        ReportError(error, QStringLiteral("KVvrMesgBox"));
        return m_result;
    }
    const StyleParts parts = splitStyle(style16);
    if (const std::optional<int> remembered = rememberedAnswer(memoryKey, parts.buttonSet)) {
        m_result = *remembered;
        return m_result;
    }

    QPointer<frmKVRMsgBox> window =
        new frmKVRMsgBox(m_context.language, m_context.settings.General_AfficherImageBouton != 0, dialogParent());
    window->present(text, parts, title, delay16, memoryKey, captions);
    window->exec();
    // The window goes with its owner when that closes meanwhile; the result
    // then stays as it was.
    if (!window)
        return m_result;
    if (window->answer() != 0)
        m_result = window->answer();
    const bool memoryFailed = window->memoryWriteFailed();
    delete window;
    if (memoryFailed)
        ReportError(common::VbError(common::VbError::PermissionDenied),
                    QStringLiteral("chkAfficher_Click (Feuille frmKVRMsgBox)"));
    return m_result;
}

void KvrMesgBox::systemMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarvello"), widgetText(text), QMessageBox::Ok, dialogParent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace tarvello::lang::ui
