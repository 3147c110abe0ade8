#pragma once
// Windows command lines: splitting by the platform's rules and resolving the program.
#include <QString>
#include <QStringList>

namespace win {

// Splits a command line into arguments by the platform's rules: white space separates,
// double quotes group, 2n backslashes before a quote give n backslashes and a quote that
// groups, 2n+1 give n backslashes and a literal quote, "" inside a group gives a quote.
// The first argument (the program) is taken up to the next white space or between quotes,
// backslashes literal.
QStringList splitCommandLine(const QString& commandLine);

// One argument written so that splitCommandLine gives it back whole, whatever it holds
// (blanks, double quotes, backslashes): always in double quotes, a quote as \", and the
// backslashes before a quote or the closing quote doubled.
QString quoteArgument(const QString& argument);

struct ResolvedCommand {
    QString program;        // host path of the program to run
    QString imageName;      // file name it was started as ("ocr.exe")
    QStringList arguments;  // host-form arguments (drive paths translated)
    bool found = false;
};

// Resolves a command line: an unquoted program path with spaces is tried with successively
// longer prefixes; "name.exe" resolves to "name" when only that exists; a bare name is searched
// on PATH; arguments that are drive paths are translated to host paths.
ResolvedCommand resolveCommandLine(const QString& commandLine);

}  // namespace win
