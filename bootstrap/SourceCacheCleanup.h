#pragma once
// Before an update, removes "LastUsedSource" and "PackageName" from the
// Windows Installer's per-machine source list of the installed product (in
// the 64-bit view, where the installer keeps it), so that the update does not
// look for the package the product was first installed from.

// 0 when it ran to its end, whatever it managed to delete; -1 after an
// exception.
int Zel_DeleteDRVS9CachedKey();
