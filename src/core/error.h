#pragma once

#include <QString>

#include <exception>

namespace kesto {

// The program's run-time error: a number in the classic run-time error numbering
// (6 overflow, 9 subscript out of range, 13 type mismatch, ...) and a message for the user.
class Error : public std::exception
{
public:
    enum Number : int {
        Overflow = 6,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        FileError = 75,
        NotAvailableAtRunTime = 393,
        InvalidValue = 380,
    };

    Error(int number, const QString& message);

    int number() const noexcept { return m_number; }
    QString message() const { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_message;
    QByteArray m_what;
};

} // namespace kesto
