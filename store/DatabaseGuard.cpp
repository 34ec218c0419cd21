#include "DatabaseGuard.h"

#include "Connection.h"
#include "Database.h"
#include "ErrorLog.h"
#include "JetDialect.h"
#include "Schema.h"
#include "TextFormat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool known = false;
};

std::string g_path;
FileIdentity g_identity;

FileIdentity IdentityOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, true};
}

bool SameFile(const FileIdentity& a, const FileIdentity& b)
{
    return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

// "db/dbvardo.db.unreadable-20261209-014000": a file is never deleted.
std::string SetAside(const std::string& path, const char* why)
{
    const std::string aside = path + "." + why + FormatLocalTime("-%Y%m%d-%H%M%S", CurrentTime());
    return std::rename(path.c_str(), aside.c_str()) == 0 ? aside : std::string();
}

void Remember(const std::string& path)
{
    g_path = path;
    g_identity = IdentityOf(path);
}

bool FolderExists(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    struct stat st {};
    return ::stat(slash == std::string::npos ? "." : path.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DatabaseOpening Renew(const std::string& path, DatabaseOpening opening)
{
    std::string error;
    if (!CreateDatabaseFile(path, &error) || InitDatabaseConnect(path) != 0) {
        opening.state = DatabaseState::kNone;
        opening.problem += "; a new one cannot be made: " + error;
        return opening;
    }
    Remember(path);
    opening.state = DatabaseState::kRenewed;
    return opening;
}

// The connected database, rows written since the file went included, as a
// new file at `path`.
bool WriteBack(const std::string& path)
{
    DbError error;
    sqlite3* db = ThreadDatabase(&error);
    char* message = nullptr;
    const int rc = db == nullptr ? SQLITE_MISUSE
                                 : sqlite3_exec(db, StrFormat("VACUUM INTO '%s'", SqlText(path).c_str()).c_str(),
                                                nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        LogError("cannot write the database back to '%s': %s\n", path.c_str(), message ? message : error.message.c_str());
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

}  // namespace

DatabaseOpening OpenWorkingDatabase(const std::string& path)
{
    DatabaseOpening opening;
    DbError error;
    SqlitePtr db = OpenDatabaseFile(path, &error);
    if (db && sqlite3_db_readonly(db.get(), "main") == 0) {
        AddLaterSchema(db.get());
        SetProcessDatabase(path, std::move(db));
        Remember(path);
        opening.state = DatabaseState::kWritable;
        return opening;
    }
    if (db)
        error = DbError{SQLITE_READONLY, "the file or its folder cannot be written"};
    db.reset();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FolderExists(path) ? Renew(path, {DatabaseState::kNone, "it was missing", ""}) : opening;
    DbError readError;
    if (SqlitePtr reader = OpenDatabaseFile(path, &readError, true)) {
        SetProcessDatabase(path, std::move(reader), true);
        Remember(path);
        return {DatabaseState::kReadOnly, error.message, ""};
    }
    if (readError.code != SQLITE_NOTADB && readError.code != SQLITE_CORRUPT)
        return {DatabaseState::kNone, readError.message, ""};
    opening = {DatabaseState::kNone, readError.message, SetAside(path, "unreadable")};
    return opening.setAside.empty() ? opening : Renew(path, opening);
}

std::string RescueMovedDatabase()
{
    if (g_path.empty() || !g_identity.known)
        return std::string();
    const FileIdentity now = IdentityOf(g_path);
    if (SameFile(now, g_identity))
        return std::string();
    const std::string aside = now.known ? SetAside(g_path, "replaced") : std::string();
    if (now.known && aside.empty())
        return "数据库 " + g_path + " 被换成了别的文件，而且不能改名：" + std::strerror(errno);
    if (!WriteBack(g_path) || InitDatabaseConnect(g_path) != 0)
        return "数据库 " + g_path + (now.known ? " 被换掉了" : " 被删除了") + "，当前的记录不能写回。请检查这个文件夹。";
    Remember(g_path);
    return "数据库 " + g_path + (now.known ? " 在运行中被换掉了（换进来的文件改名为 " + aside + "）" : " 在运行中被删除了") +
           "：当前的设置和录像记录已经写回。";
}
