#include "dialogs/ui/frmAboutCredits.h"

#include "app/AppContext.h"
#include "common/Zub.h"
#include "common/ui/ZubDesktop.h"
#include "dialogs/SystemFigures.h"
#include "dialogs/ui/frmDependance.h"
#include "lang/ui/Translate.h"
#include "update/Site.h"
#include "updatewindow/UpdateService.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace tarvello::dialogs::ui {

namespace {

const QString kSupportMail = QStringLiteral("support@tarvello.example.org");
// How many times the program's own memory figure is asked for before the
// box gives up (the process list may not show a process that just started).
constexpr int kProcessAttempts = 5;

const QDate kReleaseDate = QDate::fromString(QStringLiteral(TARVELLO_RELEASE_DATE), Qt::ISODate);

QString plainCaption(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text.simplified();
}

QLabel *namedLabel(QWidget *parent, const QString &name, const QString &text = {})
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QPushButton *namedButton(QWidget *parent, const QString &name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

// A button that looks like a link in a web page: the site and the mail.
QPushButton *linkButton(QWidget *parent, const QString &name)
{
    QPushButton *button = namedButton(parent, name, {});
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    button->setPalette(palette);
    QFont font = button->font();
    font.setUnderline(true);
    button->setFont(font);
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

QFont creditFont(QFont font, const CreditLine &line)
{
    font.setPointSize(line.size);
    font.setBold(line.bold);
    font.setItalic(line.italic);
    return font;
}

} // namespace

// The framed area the credits scroll in: it shows the buffer the timer draws.
class CreditsView : public QFrame
{
public:
    CreditsView(const QImage &buffer, QWidget *parent)
        : QFrame(parent)
        , m_buffer(buffer)
    {
        setObjectName(QStringLiteral("picCredits"));
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        setFixedSize(frmAboutCredits::kCreditsWidth + 2 * frameWidth(),
                     frmAboutCredits::kCreditsHeight + 2 * frameWidth());
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        painter.drawImage(contentsRect().topLeft(), m_buffer);
    }

private:
    const QImage &m_buffer;
};

frmAboutCredits::frmAboutCredits(app::AppContext &context, CHelp &help, updatewindow::UpdateService *updates,
                                 QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_help(help)
    , m_updates(updates)
{
    setObjectName(QString::fromLatin1(kAboutBoxName));
    setWindowTitle(QStringLiteral("À propos"));
    lang::Language &language = context.language;
    const QString site = update::siteAddress();
    const QString version = context.version.text();

    QLabel *title = namedLabel(this, QStringLiteral("lblTitle"), update::productName());
    QFont titleFont = title->font();
    if (titleFont.pointSizeF() > 0)
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel *versionLabel =
        namedLabel(this, QStringLiteral("lblVersion"), lang::ui::widgetText(language.GetMessage(8, version)));
    QPushButton *copyright = linkButton(this, QStringLiteral("lblCopyright"));
    copyright->setText(language.extra(QStringLiteral("AboutCopyright"), QString::number(kReleaseDate.year()),
                                      kReleaseDate.toString(language.extra(QStringLiteral("AboutDateFormat")))));
    QPushButton *url = linkButton(this, QStringLiteral("lblURL"));
    url->setText(site);

    // The buffer has the screen's resolution, so sizes in points come out as
    // they would on the screen.
    const qreal ratio = devicePixelRatioF();
    m_background = QImage(QSize(kCreditsWidth, kCreditsHeight) * ratio, QImage::Format_RGB32);
    m_background.setDevicePixelRatio(ratio);
    m_background.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    m_background.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
    {
        // Dark towards the edges, where the text fades to black.
        QPainter painter(&m_background);
        QLinearGradient gradient(0, 0, 0, kCreditsHeight);
        gradient.setColorAt(0, Qt::black);
        gradient.setColorAt(0.5, QColor(18, 34, 62));
        gradient.setColorAt(1, Qt::black);
        painter.fillRect(QRect(0, 0, kCreditsWidth, kCreditsHeight), gradient);
    }
    m_buffer = m_background;
    m_view = new CreditsView(m_buffer, this);
    const QFont base = font();
    m_credits = std::make_unique<CreditsScroll>(
        parseCredits(creditsText(language, site)), QSize(kCreditsWidth, kCreditsHeight), [&](const CreditLine &line) {
            const QFontMetrics metrics(creditFont(base, line), &m_buffer);
            return QSize(metrics.horizontalAdvance(line.text), metrics.height());
        });

    QLabel *disclaimer = namedLabel(this, QStringLiteral("lblDisclaimer"),
                                    lang::ui::widgetText(language.GetMessage(9)));
    QLabel *disclaimer2 = namedLabel(this, QStringLiteral("lblDisclaimer2"),
                                     lang::ui::widgetText(language.GetMessage(10)));
    for (QLabel *label : {disclaimer, disclaimer2})
        label->setWordWrap(true);

    const QStringList captions = {QStringLiteral("Mémoire physique :"), QStringLiteral("Mémoire disponible :"),
                                  QStringLiteral("Mémoire de Tarvello :"), QStringLiteral("&Disque :")};
    for (int i = 0; i < captions.size(); ++i)
        m_captions.append(namedLabel(this, QStringLiteral("Label(%1)").arg(i), captions.at(i)));
    m_memTot = namedLabel(this, QStringLiteral("lblMemTot"));
    m_memDis = namedLabel(this, QStringLiteral("lblMemDis"));
    m_process = namedLabel(this, QStringLiteral("lblProcess"));
    m_drive = new QComboBox(this);
    m_drive->setObjectName(QStringLiteral("drvDisque"));
    m_captions.at(3)->setBuddy(m_drive);
    m_espace = namedLabel(this, QStringLiteral("lblEspace"));
    m_espaceVal = namedLabel(this, QStringLiteral("lblEspaceVal"));

    QPushButton *ok = namedButton(this, QStringLiteral("cmdOK"), QStringLiteral("&OK"));
    ok->setDefault(true);
    m_checkVersion = namedButton(this, QStringLiteral("cmdControleVersion"), QStringLiteral("&Nouvelle version ?"));
    QPushButton *dependance = namedButton(this, QStringLiteral("cmdDependance"), QStringLiteral("&Dépendances"));

    auto *heading = new QVBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(title);
    heading->addWidget(versionLabel);
    heading->addWidget(copyright);
    heading->addWidget(url);
    auto *figures = new QGridLayout;
    figures->setHorizontalSpacing(12);
    const QList<QWidget *> values = {m_memTot, m_memDis, m_process, m_drive};
    for (int row = 0; row < values.size(); ++row) {
        figures->addWidget(m_captions.at(row), row, 0);
        figures->addWidget(values.at(row), row, 1);
    }
    figures->addWidget(m_espace, values.size(), 0);
    figures->addWidget(m_espaceVal, values.size(), 1);
    figures->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_checkVersion);
    buttons->addWidget(dependance);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(m_view, 0, Qt::AlignHCenter);
    layout->addWidget(disclaimer);
    layout->addWidget(disclaimer2);
    layout->addLayout(figures);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (context.settings.General_AfficherImageBouton != 0) {
        lang::ui::SetButtonImage(ok, language, QStringLiteral("oui"));
        lang::ui::SetButtonImage(m_checkVersion, language, QStringLiteral("verif_version"));
        lang::ui::SetButtonImage(dependance, language, QStringLiteral("dependance"));
    }
    lang::ui::TranslateForm(this, language);

    // Screen readers get the credits whole, since they cannot follow them scrolling.
    QStringList creditLines;
    for (const CreditLine &line : m_credits->lines()) {
        if (!line.text.trimmed().isEmpty() && !line.text.contains(QLatin1String("---")))
            creditLines.append(line.text.trimmed());
    }
    m_view->setAccessibleDescription(creditLines.join(QLatin1Char('\n')));

    const MemoryFigures memory = memoryFigures();
    const QString prefix = lang::ui::widgetText(language.GetMessage(58));
    setFigure(m_memTot, m_captions.at(0), prefix + common::ZubDoubleToUnit(double(memory.total)));
    setFigure(m_memDis, m_captions.at(1), prefix + common::ZubDoubleToUnit(double(memory.available)));
    setFigure(m_process, m_captions.at(2), {});
    const QString home = volumeOf(QDir::homePath());
    QStringList volumes = diskVolumes();
    if (!volumes.contains(home))
        volumes.prepend(home);
    m_drive->addItems(volumes);
    m_drive->setCurrentText(home);
    showFreeSpace();
    connect(m_drive, &QComboBox::currentIndexChanged, this, &frmAboutCredits::showFreeSpace);

    openUrl = common::ui::ZubOpenUrl;
    openMail = common::ui::ZubOpenMail;
    connect(url, &QPushButton::clicked, this, [this, site] { openUrl(site); });
    connect(copyright, &QPushButton::clicked, this, [this, version] {
        QUrl mail(QStringLiteral("mailto:") + kSupportMail);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"), update::productName() + QStringLiteral(" v") + version);
        mail.setQuery(query);
        openMail(mail.toString(QUrl::FullyEncoded));
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_checkVersion, &QPushButton::clicked, this, &frmAboutCredits::cmdControleVersion_Click);
    connect(dependance, &QPushButton::clicked, this, &frmAboutCredits::cmdDependance_Click);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("ReDrawTimer"));
    m_timer->setInterval(CreditsScroll::kTickMs);
    connect(m_timer, &QTimer::timeout, this, &frmAboutCredits::ReDrawTimer_Timer);
    refreshCheckButton();
    m_timer->start();
}

frmAboutCredits::~frmAboutCredits() = default;

void frmAboutCredits::setFigure(QLabel *value, QLabel *caption, const QString &text)
{
    value->setText(text);
    value->setAccessibleName((plainCaption(caption->text()) + QLatin1Char(' ') + text.trimmed()).trimmed());
}

void frmAboutCredits::ReDrawTimer_Timer()
{
    const CreditsFrame frame = m_credits->tick();
    QPainter painter(&m_buffer);
    painter.drawImage(0, 0, m_background);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont base = font();
    const QList<CreditLine> &lines = m_credits->lines();
    for (const CreditsFrame::Placement &placement : frame.placements) {
        const CreditLine &line = lines.at(placement.line);
        // Lines far outside the area are not drawn at all.
        if (line.text.isEmpty() || placement.y > kCreditsHeight || placement.y < -2 * line.size - 20)
            continue;
        painter.setFont(creditFont(base, line));
        painter.setPen(QColor(placement.grey, placement.grey, placement.grey));
        painter.drawText(QRect(placement.x, placement.y, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         line.text);
    }
    painter.end();
    m_timer->setInterval(frame.intervalMs);
    m_view->update();
    refreshCheckButton();
}

void frmAboutCredits::refreshCheckButton()
{
    m_checkVersion->setEnabled(m_updates && !m_updates->checking());
}

void frmAboutCredits::cmdControleVersion_Click()
{
    if (!m_updates || m_updates->checking())
        return;
    const QString title = windowTitle();
    setWindowTitle(lang::ui::widgetText(m_context.language.GetMessage(4)));
    setCursor(Qt::BusyCursor);
    m_checkVersion->setEnabled(false);
    // The answer may come after the box has been closed.
    QPointer<frmAboutCredits> box(this);
    m_updates->checkOnDemand([box, title] {
        if (!box)
            return;
        box->setWindowTitle(title);
        box->unsetCursor();
        box->refreshCheckButton();
    });
}

void frmAboutCredits::cmdDependance_Click()
{
    frmDependance list(m_context, m_help, this);
    list.exec();
}

void frmAboutCredits::showFreeSpace()
{
    const QString drive = m_drive->currentText();
    m_espace->setText(lang::ui::widgetText(m_context.language.GetMessage(11, drive)));
    setFigure(m_espaceVal, m_espace,
              lang::ui::widgetText(m_context.language.GetMessage(58)) + common::ZubDoubleToUnit(double(freeSpace(drive))));
    m_espace->setAccessibleName(plainCaption(m_espace->text()));
}

void frmAboutCredits::showProcessMemory()
{
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    qint64 bytes = 0;
    for (int attempt = 0; attempt < kProcessAttempts && bytes <= 0; ++attempt)
        bytes = common::ZubGetProcesses(executable);
    if (bytes > 0) {
        setFigure(m_process, m_captions.at(2),
                  lang::ui::widgetText(m_context.language.GetMessage(58)) + common::ZubDoubleToUnit(double(bytes)));
    }
}

bool frmAboutCredits::event(QEvent *event)
{
    // Shown on a desktop that activates nothing, the box still gives the figure.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        showProcessMemory();
    return QDialog::event(event);
}

void frmAboutCredits::done(int result)
{
    m_timer->stop();
    QDialog::done(result);
}

void ShowAboutCredits(app::AppContext &context, CHelp &help, updatewindow::UpdateService *updates, QWidget *parent)
{
    frmAboutCredits box(context, help, updates, parent);
    box.exec();
}

} // namespace tarvello::dialogs::ui
