#include "common/VbError.h"

namespace tarvello::common {

VbError::VbError(int number)
    : VbError(number, standardDescription(number))
{
}

VbError::VbError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(QStringLiteral("Error %1 (%2)").arg(m_number).arg(m_description).toUtf8())
{
}

QString VbError::standardDescription(int number)
{
    switch (number) {
    case InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case Overflow: return QStringLiteral("Overflow");
    case SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case TypeMismatch: return QStringLiteral("Type mismatch");
    case FileNotFound: return QStringLiteral("File not found");
    case PermissionDenied: return QStringLiteral("Permission denied");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

} // namespace tarvello::common
