#pragma once
// The common controls that the manifest asks for (version 6 where the system
// has them). On XP their window classes, which the dialogs' buttons, lists
// and texts are redirected to, exist only once comctl32 has been loaded and
// initialised; a dialog created before that fails to open.
//
// They are loaded just before the first window of the run rather than at
// start: a silent run with nothing to install shows no window and so does not
// pay for loading them (the largest part of such a run's start under Wine).

// Loads and initialises comctl32 once; it stays loaded for the life of the
// process, since every later window may use its classes. Call before
// creating a dialog or a message box. Keeps the thread's last-error value.
void EnsureCommonControls();
