#include "Registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {

namespace {

// How long a statement waits for another process's write to finish.
constexpr int busyMs = 5000;

const char* const schema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " root INTEGER NOT NULL,"
    " path TEXT NOT NULL COLLATE NOCASE,"
    " UNIQUE(root, path));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL REFERENCES keys(id),"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, name)) WITHOUT ROWID;";

std::vector<std::string> splitPath(const char* path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = path ? path : ""; ; ++p) {
        if (*p == '\\' || *p == 0) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
            if (*p == 0)
                break;
        } else {
            part += *p;
        }
    }
    return parts;
}

std::string joinPath(const std::vector<std::string>& parts, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            path += '\\';
        path += parts[i];
    }
    return path;
}

// A company word as one folder name.
std::string folderName(std::string word) {
    for (char& c : word)
        if (c == '/')
            c = '_';
    if (word == "." || word == "..")
        word = "_";
    return word;
}

bool makeFolders(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
        std::string folder = file.substr(0, slash);
        struct stat st;
        if (stat(folder.c_str(), &st) != 0 && mkdir(folder.c_str(), 0700) != 0)
            return false;
    }
    return true;
}

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    int step() { return sqlite3_step(stmt_); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The id of a key, or 0 when it is missing (or there are no keys at all).
long long findKey(sqlite3* db, int root, const std::string& path) {
    Statement find(db, "SELECT id FROM keys WHERE root = ?1 AND path = ?2");
    if (!find.ok())
        return 0;
    sqlite3_bind_int(find.get(), 1, root);
    sqlite3_bind_text(find.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
    return find.step() == SQLITE_ROW ? sqlite3_column_int64(find.get(), 0) : 0;
}

// Makes the tables, the key and its parents in one transaction.
long long createKey(sqlite3* db, int root, const std::vector<std::string>& parts) {
    if (!exec(db, "BEGIN IMMEDIATE"))
        return 0;
    bool ok = exec(db, schema);
    Statement insert(db, "INSERT OR IGNORE INTO keys(root, path) VALUES(?1, ?2)");
    ok = ok && insert.ok();
    for (std::size_t n = 1; ok && n <= parts.size(); ++n) {
        std::string path = joinPath(parts, n);
        sqlite3_reset(insert.get());
        sqlite3_bind_int(insert.get(), 1, root);
        sqlite3_bind_text(insert.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
        ok = insert.step() == SQLITE_DONE;
    }
    long long key = ok ? findKey(db, root, joinPath(parts, parts.size())) : 0;
    if (key == 0 || !exec(db, "COMMIT")) {
        exec(db, "ROLLBACK");
        return 0;
    }
    return key;
}

// Why a write was refused: the permissions of the file or of its folder,
// where the journal has to be made, else what SQLite says.
std::string refusal(sqlite3* db, const std::string& file) {
    std::size_t slash = file.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    if (access(file.c_str(), F_OK) == 0 && access(file.c_str(), W_OK) != 0)
        return "the file is read-only";
    if (access(folder.c_str(), W_OK) != 0)
        return "its folder is read-only";
    return sqlite3_errmsg(db);
}

// Whether a file that was there is a sound database; why not, when not.
// Damage is told apart from trouble that passes (another process holding
// the file too long).
bool sound(sqlite3* db, RegistryHandle::Trouble& why) {
    Statement check(db, "PRAGMA quick_check");
    int result = check.ok() ? check.step() : sqlite3_errcode(db);
    if (result == SQLITE_ROW && std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)), "ok") == 0)
        return true;
    int code = sqlite3_errcode(db) & 0xFF;
    why.unusable = code != SQLITE_BUSY && code != SQLITE_LOCKED;
    if (code == SQLITE_NOTADB)
        why.reason = "it is not a settings database";
    else if (result == SQLITE_ROW || code == SQLITE_CORRUPT)
        why.reason = "it is damaged";
    else
        why.reason = sqlite3_errmsg(db);
    return false;
}

}  // namespace

std::string RegistryHandle::databaseFile(const char* path) {
    const char* chosen = std::getenv("ORVEL_REGISTRY_FILE");
    if (chosen && *chosen)
        return chosen;
    std::vector<std::string> parts = splitPath(path);
    std::size_t company = !parts.empty() && strcasecmp(parts[0].c_str(), "Software") == 0 ? 1 : 0;
    if (company >= parts.size())
        return std::string();
    std::string folder;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config && *config == '/')
        folder = config;
    else if (home && *home)
        folder = std::string(home) + "/.config";
    else
        return std::string();
    // Key names ignore case, the company word too: any spelling of it finds
    // the folder that is there.
    return folder + "/" + foldedEntry(folder, folderName(parts[company])) + "/registry.sqlite";
}

std::unique_ptr<RegistryHandle> RegistryHandle::open(int root, const char* path, bool create, Trouble* trouble) {
    std::vector<std::string> parts = splitPath(path);
    std::string file = databaseFile(path);
    Trouble ignored;
    Trouble& why = trouble ? *trouble : ignored;
    why = Trouble{false, file, std::string()};
    if (parts.empty() || file.empty())
        return nullptr;
    struct stat st;
    bool exists = stat(file.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        why.unusable = true;
        why.reason = "it is a folder";
        return nullptr;
    }
    if (!exists && !create)
        return nullptr;
    if (!exists && !makeFolders(file)) {
        why.reason = std::string("its folder cannot be made (") + std::strerror(errno) + ")";
        return nullptr;
    }
    // A write-protected file opens for reading only.
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        why.unusable = exists;
        why.reason = exists ? std::string("it cannot be opened (") + std::strerror(sqlite3_system_errno(db)) + ")"
                            : refusal(db, file);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyMs);
    // NORMAL sync keeps every committed write across a process crash.
    exec(db, "PRAGMA synchronous=NORMAL");
    long long key = 0;
    if (!exists || sound(db, why)) {
        // A rollback journal lives only while a write is under way, so no
        // side file is left for reading or for the next write to trip on
        // (this also turns a write-ahead-log file of older versions back).
        if (create)
            exec(db, "PRAGMA journal_mode=DELETE");
        key = findKey(db, root, joinPath(parts, parts.size()));
        if (key == 0 && create) {
            key = createKey(db, root, parts);
            if (key == 0)
                why.reason = refusal(db, file);
        }
    }
    if (key == 0) {
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<RegistryHandle>(new RegistryHandle(db, key, file));
}

RegistryHandle::~RegistryHandle() { sqlite3_close(db_); }

bool RegistryHandle::setValue(const char* name, unsigned type, const void* data, std::size_t size,
                              Trouble* trouble) {
    Statement set(db_,
                  "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
                  " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    if (!set.ok()) {
        if (trouble)
            *trouble = Trouble{false, file_, refusal(db_, file_)};
        return false;
    }
    sqlite3_bind_int64(set.get(), 1, key_);
    sqlite3_bind_text(set.get(), 2, name ? name : "", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(set.get(), 3, (long long)type);
    // A null pointer would bind SQL NULL, not an empty value.
    sqlite3_bind_blob64(set.get(), 4, size ? data : "", size, SQLITE_TRANSIENT);
    if (set.step() == SQLITE_DONE)
        return true;
    if (trouble)
        *trouble = Trouble{false, file_, refusal(db_, file_)};
    return false;
}

bool RegistryHandle::readValue(const char* name, const Reader& reader) {
    Statement get(db_, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2");
    if (!get.ok())
        return false;
    sqlite3_bind_int64(get.get(), 1, key_);
    sqlite3_bind_text(get.get(), 2, name ? name : "", -1, SQLITE_TRANSIENT);
    if (get.step() != SQLITE_ROW)
        return false;
    unsigned type = unsigned(sqlite3_column_int64(get.get(), 0));
    const unsigned char* data = static_cast<const unsigned char*>(sqlite3_column_blob(get.get(), 1));
    std::size_t size = std::size_t(sqlite3_column_bytes(get.get(), 1));
    reader(type, data, size);
    return true;
}

}  // namespace platform
