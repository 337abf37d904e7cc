#ifndef QUARNEL_HOSTCFG_SETTINGS_H_
#define QUARNEL_HOSTCFG_SETTINGS_H_

#include <string>

#include "platform/env.h"

namespace quarnel {

// The ODBC data source name from the host product's settings file
// "PersonalTarvo.ini" in the application path: the value of the last line
// that begins with exactly "DBName=", without the spaces around it; empty
// when no line does. The file is read anew and closed on every call. Throws
// RunError when the file cannot be opened or read.
std::string ReadDbName(Env& env);

// The settings file of the installation in `app_path`.
std::string SettingsFile(const std::string& app_path);

}  // namespace quarnel

#endif  // QUARNEL_HOSTCFG_SETTINGS_H_
