#pragma once

#include <QString>

#include <exception>
#include <utility>

namespace vovozodo {

// Bad input or usage. The command stops before anything is in place and exits
// with status 2; the message names the file and the reason on one line.
class InputError : public std::exception {
public:
    explicit InputError(QString message) : m_message(std::move(message)) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return "bad input"; }

private:
    QString m_message;
};

} // namespace vovozodo
