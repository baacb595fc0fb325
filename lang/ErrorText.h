#pragma once

#include "common/VbError.h"

#include <QString>

namespace tarvello::lang {

// Title of the program's error report.
QString errorReportTitle();

// Text of the program's error report: "Error 13 (Type mismatch)", a line
// break, "dans la procédure " and the procedure text.
QString errorReportText(const common::VbError &error, const QString &procedureText);

// Text of the error shown in the system message box by the few procedures that
// use it: "Error 13 (Type mismatch) in procedure ReadIniFile of Module
// modIniFile", then " line " and the statement number when line >= 0.
// container is "Feuille frmMain" or "Module modIniFile".
QString systemErrorText(const common::VbError &error, const QString &procedure, const QString &container,
                        int line = -1);

} // namespace tarvello::lang
