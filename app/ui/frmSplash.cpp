#include "app/ui/frmSplash.h"

#include "app/AppContext.h"
#include "lang/ui/Translate.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace tarvello::app::ui {

namespace {

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text = {})
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

} // namespace

frmSplash::frmSplash(AppContext &context, QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint)
    , m_context(context)
{
    setObjectName(QStringLiteral("frmSplash"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    auto *product = namedLabel(this, "lblProductName", QStringLiteral("Tarvello"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    product->setFont(big);
    layout->addWidget(product);
    m_version = namedLabel(this, "lblVersion");
    m_version->setText(QStringLiteral("Version %1 - Tarvello - 31/07/2015").arg(context.version.text()));
    layout->addWidget(m_version);
    layout->addWidget(namedLabel(this, "lblCompany", QStringLiteral("Tarvello")));
    layout->addWidget(namedLabel(this, "lblEmail", QStringLiteral("support@tarvello.example.org")));
    m_warning = namedLabel(this, "lblWarning");
    m_warning2 = namedLabel(this, "lblWarning2");
    layout->addSpacing(8);
    layout->addWidget(m_warning);
    layout->addWidget(m_warning2);
    layout->addSpacing(8);
    layout->addWidget(namedLabel(this, "lblLegal"));
    setFixedWidth(460);
    setStyleSheet(QStringLiteral("QDialog { border: 1px solid palette(mid); }"));
    qApp->installEventFilter(this);
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched != this && isVisible()) {
        if (auto *window = qobject_cast<QWidget *>(watched); window && window->isWindow()
            && !(window->windowType() == Qt::ToolTip || window->windowType() == Qt::Popup))
            hide();
    }
    return false;
}

void frmSplash::translate()
{
    lang::ui::TranslateForm(this, m_context.language);
    m_warning->setText(lang::ui::widgetText(m_context.language.GetMessage(36)));
    m_warning2->setText(lang::ui::widgetText(m_context.language.GetMessage(35)));
}

void frmSplash::mousePressEvent(QMouseEvent *)
{
    close();
}

void frmSplash::keyPressEvent(QKeyEvent *)
{
    close();
}

} // namespace tarvello::app::ui
