#pragma once
// The values of one run that a step decides and steps in other folders read.
// They are defined down here, beside the vocabulary every folder shares, so
// that a reader never includes the folder of the writer: the writers are on
// the top floor, most readers below it.
//
// Each value has one writer in a run (SelectedLanguageId has two, on paths
// that exclude each other); everybody else only reads. All start empty
// (zero) and are written before their first reader runs.
//
//   value               written by                          read by
//   instanceHandle,     RunSetupBootstrapper                the prerequisite installation, for
//   productCaption      (bootstrap/Startup), first thing    the failure dialog (DownloadAndRunApp)
//   InstallMode         ParseInstallMode, called once by    the launch sequence, the language
//                       RunSetupBootstrapper                dialog and catalogue, the
//                                                           prerequisites stage, the setup runner
//   OsLanguage          LaunchExe (bootstrap/               the catalogue, the language dialog,
//                       LaunchSequence), before any         the prerequisites stage
//                       language or prerequisite step
//   SelectedLanguageId  the language dialog's OK (first     the prerequisites dialog and the
//                       installation), or                   failure dialog, for their language
//                       GetInstalledLanguageArgs (update)

#include "support/ProductIdentity.h"

#include <windows.h>

// The run's settings from the command line (see ParseInstallMode).
struct InstallModeFlags
{
    bool silent;
    wchar_t silentFile[kCchText];
    bool record;
    wchar_t recordFile[kCchText];
    bool languageGiven;
    wchar_t language[kCchText];
};

// This executable's module, and the caption of every window of the run: the
// product's name.
extern HINSTANCE instanceHandle;
extern wchar_t productCaption[kCchText];

extern InstallModeFlags InstallMode;

// The language of this run, one of the five supported identifiers.
extern wchar_t OsLanguage[kCchText];

// The language chosen for this installation. Empty in a silent first
// installation, where no dialog asks for one.
extern wchar_t SelectedLanguageId[kCchText];
