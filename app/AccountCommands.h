// The remote view's accounts and certificate from the command line, for a
// shop PC set up over SSH: --add-user NAME --role admin|viewer (the password
// read from standard input: twice without echo on a terminal, once from a
// pipe), --remove-user NAME, --list-users and --remote-fingerprint.
#pragma once

#include "CommandLine.h"

int AddUserCommand(const CommandLine& command);
int RemoveUserCommand(const CommandLine& command);
int ListUsersCommand();
int FingerprintCommand();
