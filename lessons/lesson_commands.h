#pragma once

#include <QStringList>

#include <cstdio>

// The commands of vovozodo-lessons, each from its own arguments (the program's,
// the command's name second) to the program's exit status. Bad input throws
// InputError; `--help` prints the command's options and exits.
namespace vovozodo::lesson_commands {

inline constexpr int kDone = 0;
inline constexpr int kProblemsFound = 1;
inline constexpr int kBadInput = 2;
inline constexpr int kSystemFailure = 3;
inline constexpr int kInterrupted = 130;

// In the locale's encoding, as the terminal shows it.
void printLine(std::FILE *stream, const QString &text);
[[noreturn]] void usageError(const QString &message);

int runMake(const QStringList &arguments);
int runCheck(const QStringList &arguments);
int runUse(const QStringList &arguments);
int runWhere(const QStringList &arguments);

} // namespace vovozodo::lesson_commands
