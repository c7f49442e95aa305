#pragma once
// The parser of the command line, which fills the run's settings
// (InstallModeFlags, support/RunState.h). Three independent switches, each a
// flag and the argument after it:
//   /r  /record   <answer file>   recording run
//   /s  /silent   <answer file>   silent run (no dialogs but the failure one)
//   /l  /language <language id>   the language of a silent first installation
// A switch starts with "-" or "/"; its name is compared without regard to
// case; its value is the next argument, whatever it looks like.

#include "support/RunState.h"

// ERROR_INVALID_PARAMETER: the exit code for every faulty command line.
constexpr int kExitFaultyCommandLine = 87;

// Reads argv[1..argc-1] (argv[0] is the program) into mode. Returns 0, or
// kExitFaultyCommandLine when there are more than four switches and values,
// when a switch has no value after it, or when a value does not fit in
// 1,023 characters. On 87 the flags may be partly set; the run ends anyway.
int ParseInstallMode(int argc, const wchar_t* const* argv, InstallModeFlags* mode);
