#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace mirelo {

class Process;

// The application folder with a trailing separator.
QString appFolder();

// A new Process whose command-line text is cmdLine; everything else at its defaults.
std::unique_ptr<Process> newProcess(const QString& cmdLine);

// Splits a command-line text by the Windows convention: blanks and tabs separate arguments, double
// quotes group (a doubled quote inside quotes is a literal quote), backslashes are literal except
// before a quote (2n backslashes + quote: n backslashes and a grouping quote; 2n+1: n backslashes
// and a literal quote).
QStringList splitCommandLine(const QString& commandLine);

} // namespace mirelo
