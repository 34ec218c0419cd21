#include "WorkingFolder.h"

#include "Database.h"
#include "Schema.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

std::string HomeWorkingFolder()
{
    const char* home = std::getenv("LUMARO_HOME");
    if (home != nullptr && *home != '\0')
        return home;
    home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) + "/Lumaro" : std::string();
}

bool EnterHomeWorkingFolder(std::string* error, bool makeDatabase)
{
    const std::string folder = HomeWorkingFolder();
    if (folder.empty()) {
        *error = "neither LUMARO_HOME nor HOME is set: no working folder";
        return false;
    }
    std::error_code code;
    if (std::filesystem::create_directories(folder, code))
        ::chmod(folder.c_str(), 0700);  // its database and settings are the owner's only
    if (code || ::chdir(folder.c_str()) != 0) {
        *error = "cannot use the working folder " + folder + ": " + (code ? code.message() : std::strerror(errno));
        return false;
    }
    if (!makeDatabase || std::filesystem::exists(kDatabaseFile, code))
        return true;
    if (!CreateDatabaseFile(kDatabaseFile, error)) {
        *error = "cannot create the database in " + folder + ": " + *error;
        return false;
    }
    return true;
}
