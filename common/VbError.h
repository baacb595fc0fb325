#pragma once

#include <QString>

#include <exception>

namespace tarvello::common {

// A run-time error with the number and description the program's error
// reports show, numbered as Visual Basic numbered them so that reports read
// the same on every platform.
class VbError : public std::exception
{
public:
    enum Number {
        InvalidProcedureCall = 5,
        Overflow = 6,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        FileNotFound = 53,
        PermissionDenied = 70,
    };

    // Builds the error with the standard description of its number.
    explicit VbError(int number);
    // Builds the error with a description of the caller's.
    VbError(int number, QString description);

    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

    // The standard description of an error number ("Overflow" for 6).
    static QString standardDescription(int number);

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace tarvello::common
