#include "AccountCommands.h"

#include "Accounts.h"
#include "Certificate.h"
#include "Database.h"
#include "ErrorLog.h"
#include "QuietStdout.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

void Say(const std::string& text)
{
    std::fputs((ErrorTimeStamp() + "lumaro: accounts: " + text + "\n").c_str(), stderr);
    std::fflush(stderr);
}

bool Connect()
{
    QuietStdout quiet;
    if (InitDatabaseConnect() == 0)
        return true;
    Say(std::string("no usable database at ") + kDatabaseFile +
        " (run this in Lumaro's working folder, or add --home for $LUMARO_HOME, default ~/Lumaro)");
    return false;
}

// The terminal's echo off while a password is typed, and on again after.
class EchoOff {
public:
    EchoOff() : m_on(::tcgetattr(STDIN_FILENO, &m_saved) == 0)
    {
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        if (m_on)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    ~EchoOff()
    {
        if (m_on)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
        std::fputs("\n", stderr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios m_saved{};
    bool m_on;
};

std::optional<std::string> ReadLine()
{
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// Says why when there is none.
std::optional<std::string> ReadPassword()
{
    if (!::isatty(STDIN_FILENO)) {
        std::optional<std::string> line = ReadLine();
        if (!line)
            Say("no password was given on standard input; nothing was changed");
        return line;
    }
    std::optional<std::string> first, second;
    {
        std::fputs("密码：", stderr);
        const EchoOff quiet;
        first = ReadLine();
    }
    {
        std::fputs("再输入一次密码：", stderr);
        const EchoOff quiet;
        second = ReadLine();
    }
    if (!first || !second || *first != *second) {
        Say("the two passwords differ; nothing was changed");
        return std::nullopt;
    }
    return first;
}

}  // namespace

int AddUserCommand(const CommandLine& command)
{
    const std::string name = command.user.toStdString();
    if (!IsAccountName(name) || !ParseRole(command.role.toStdString())) {
        Say(IsAccountName(name) ? "--role must be admin or viewer"
                                : "--add-user: an account name is 1 to 32 characters without spaces, quotes or slashes");
        return 2;
    }
    if (!Connect())
        return 1;
    const std::optional<std::string> password = ReadPassword();
    if (!password)
        return 1;
    std::string error;
    if (!AddAccount(name, command.role.toStdString(), *password, &error)) {
        Say(error);
        return 1;
    }
    std::printf("lumaro: account %s (%s) added\n", name.c_str(), ParseRole(command.role.toStdString())->c_str());
    return 0;
}

int RemoveUserCommand(const CommandLine& command)
{
    if (!Connect())
        return 1;
    std::string error;
    if (!RemoveAccount(command.user.toStdString(), &error)) {
        Say(error);
        return 1;
    }
    std::printf("lumaro: account %s removed\n", command.user.toStdString().c_str());
    return 0;
}

int ListUsersCommand()
{
    if (!Connect())
        return 1;
    for (const AccountRow& row : ReadAccounts())
        std::printf("%s\t%s\t%s\n", row.name.c_str(), row.role.c_str(), row.created.c_str());
    return 0;
}

int FingerprintCommand()
{
    std::string error;
    if (!EnsureCertificate(&error)) {
        Say(error);
        return 1;
    }
    const std::string fingerprint = CertificateFingerprint();
    if (fingerprint.empty()) {
        Say(std::string(kCertificateFile) + " is not a PEM certificate");
        return 1;
    }
    std::printf("%s\n", fingerprint.c_str());
    return 0;
}
