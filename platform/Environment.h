#pragma once

#include <QString>

#include <cstdint>

// Environment variables, the user's folders and locale, with the Windows
// names the system uses. A Windows variable that is set wins, so tests can
// point the folders at temporary ones.
namespace env {

QString variable(const QString& name);
// %LOCALAPPDATA%, else $XDG_DATA_HOME, else ~/.local/share.
QString localAppData();
// %ALLUSERSPROFILE%, else /var/lib.
QString allUsersProfile();
// %TEMP%, else $TMPDIR, else /tmp.
QString tempFolder();
// %USERNAME%, else $USER.
QString userName();
// The user's pictures folder (XDG).
QString picturesFolder();
// The per-user configuration folder ($XDG_CONFIG_HOME or ~/.config).
QString configFolder();

// The Windows locale identifier of the user's locale, from LC_ALL, LC_MESSAGES
// or LANG ("fr_CA.UTF-8" gives 3084); 1033 when none is set or known.
std::uint32_t userDefaultLcid();
// The identifier for a POSIX locale name, 0 when unknown.
std::uint32_t lcidFromLocaleName(const QString& localeName);

} // namespace env
