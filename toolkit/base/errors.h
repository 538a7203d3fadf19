#pragma once

#include <QString>

#include <exception>
#include <string>

namespace tk {

// A failure the user is told about: the message box shows message() (Application::ShowException).
class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toStdString()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

// Raised by an operation a base class declares for its descendants to implement, when one that has not
// implemented it is asked to carry it out.
class AbstractError : public Error {
public:
    AbstractError() : Error(QStringLiteral("Abstract operation called")) {}
};

} // namespace tk
