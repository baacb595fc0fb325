#include "lang/ErrorText.h"

namespace tarvello::lang {

QString errorReportTitle()
{
    return QStringLiteral("Erreur rencontrée");
}

QString errorReportText(const common::VbError &error, const QString &procedureText)
{
    return QStringLiteral("Error %1 (%2)\r\ndans la procédure %3")
        .arg(error.number())
        .arg(error.description(), procedureText);
}

QString systemErrorText(const common::VbError &error, const QString &procedure, const QString &container, int line)
{
    QString text = QStringLiteral("Error %1 (%2) in procedure %3 of %4")
                       .arg(error.number())
                       .arg(error.description(), procedure, container);
    if (line >= 0)
        text += QStringLiteral(" line %1").arg(line);
    return text;
}

} // namespace tarvello::lang
