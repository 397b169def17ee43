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

// A failure of the system rather than of the input: the disk is full, memory
// ran out, a device failed. Nothing is in place either; the command exits with
// status 3 so that scripts can tell it from bad input.
class SystemError : public std::exception {
public:
    explicit SystemError(QString message) : m_message(std::move(message)) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return "system failure"; }

private:
    QString m_message;
};

// Throws SystemError when `error` (an errno value) is the system's fault,
// else InputError; either with `message`.
[[noreturn]] void throwForErrno(int error, QString message);

} // namespace vovozodo
