// System.ini, the installation's record of its installed version:
// "Version = a.b.c.d", read leniently as tokens, written whole.
#ifndef ORVANEL_CONFIG_INSTALLED_VERSION_H_
#define ORVANEL_CONFIG_INSTALLED_VERSION_H_

// Reads System.ini into the installed version. False when the file cannot be
// opened or a number after the keyword is not numeric (after logging
// "(!) System.ini configuration file error(1)(N)!"); numbers read before
// that stay stored.
bool LoadInstalledVersion();

// Writes the installed version to System.ini and logs the new size. The
// bytes go to a temporary file beside it first, which then replaces
// System.ini in one rename: a crash or a full disk leaves either the old
// version or the new one, never a truncated file.
void SaveInstalledVersion();

#endif  // ORVANEL_CONFIG_INSTALLED_VERSION_H_
