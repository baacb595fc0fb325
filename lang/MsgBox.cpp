#include "lang/MsgBox.h"

#include "lang/ErrorText.h"

namespace tarvello::lang {

void MsgBox::ReportError(const common::VbError &error, const QString &procedureText)
{
    if (error.number() <= 0)
        return;
    KVvrMesgBox(errorReportText(error, procedureText), MsgStyle::Information, errorReportTitle(), 0, QString());
}

void MsgBox::reportSystemError(const common::VbError &error, const QString &procedure, const QString &container,
                               int line)
{
    systemMessage(systemErrorText(error, procedure, container, line));
}

} // namespace tarvello::lang
