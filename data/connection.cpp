#include "data/connection.h"

#include <cctype>

#include "data/errors.h"
#include "data/executor.h"
#include "data/sql.h"
#include "jet/path_text.h"

namespace data {
namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string unquote(std::string s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

const std::string kJetProvider = "MICROSOFT.JET.OLEDB.4.0";

// Runs `call`; an engine failure becomes the provider's error for it.
template <typename Call>
auto withProviderErrors(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const jet::Error& e) {
        throw fromJetError(e);
    }
}

}  // namespace

ConnectionInfo parseConnectionText(const std::string& connectionText) {
    ConnectionInfo info;
    std::optional<std::string> source;
    size_t start = 0;
    while (start <= connectionText.size()) {
        size_t end = connectionText.find(';', start);
        if (end == std::string::npos) end = connectionText.size();
        std::string part = connectionText.substr(start, end - start);
        start = end + 1;
        size_t eq = part.find('=');
        if (eq == std::string::npos) {
            if (trim(part).empty()) continue;
            throw makeError(Fault::ArgumentsWrong);
        }
        std::string key = upper(trim(part.substr(0, eq)));
        std::string value = unquote(trim(part.substr(eq + 1)));
        if (key == "PROVIDER") {
            info.provider = value;
        } else if (key == "DATA SOURCE") {
            source = value;
        }
        // Other keys (Persist Security Info, User ID, Mode, Jet OLEDB:...) change nothing here.
    }
    if (upper(info.provider) != kJetProvider)
        throw makeError(Fault::ProviderNotFound,
                        info.provider.empty() ? "no provider named" : info.provider);
    if (!source || source->empty()) throw makeError(Fault::FileNotFound, "");
    std::string path = *source;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    info.dataSource = jet::pathFromUtf8(path);
    return info;
}

Connection::~Connection() = default;

void Connection::Open(const std::string& connectionText) {
    ConnectionInfo info = parseConnectionText(connectionText);
    // Whether the name leads to a file at all is asked only when opening fails: a transfer
    // opens the same database once per line.
    auto requireFile = [&] {
        std::error_code ec;
        if (std::filesystem::is_regular_file(info.dataSource, ec)) return;
        // The provider names the file as it was given.
        std::string named = connectionText.substr(connectionText.rfind('=') + 1);
        throw makeError(Fault::FileNotFound, trim(named));
    };
    try {
        try {
            db_ = jet::Database::open(info.dataSource, jet::OpenMode::ReadWrite);
        } catch (const jet::Error& e) {
            if (e.code() != jet::ErrorCode::ReadOnly && e.code() != jet::ErrorCode::Unsupported)
                throw;
            // A file we may not write is still read, as the provider does. A file another
            // program writes is refused ("already opened exclusively"), before anything of a
            // transfer is written, rather than read while it changes under us.
            db_ = jet::Database::open(info.dataSource, jet::OpenMode::ReadOnly);
        }
    } catch (const jet::Error& e) {
        requireFile();
        throw fromJetError(e, jet::utf8FromPath(info.dataSource));
    }
}

void Connection::Close() {
    db_.reset();
}

const std::shared_ptr<jet::Database>& Connection::database() const {
    if (!db_) throw makeError(Fault::ObjectClosed);
    return db_;
}

long Connection::Execute(const std::string& statement) {
    jet::Database& db = *database();
    sql::Statement parsed = sql::parseStatement(statement);
    if (std::holds_alternative<sql::Select>(parsed)) throw makeError(Fault::SelectNotExecutable);
    return withProviderErrors([&] { return executeStatement(db, parsed); });
}

void Connection::BeginTrans() {
    withProviderErrors([&] { database()->begin(); });
}

uint64_t Connection::Savepoint() {
    return withProviderErrors([&] { return database()->savepoint(); });
}

uint64_t Connection::CoarseSavepoint() {
    return withProviderErrors([&] { return database()->coarseSavepoint(); });
}

void Connection::RollbackTo(uint64_t savepoint) {
    withProviderErrors([&] { database()->rollbackTo(savepoint); });
}

void Connection::CommitTrans() {
    withProviderErrors([&] { database()->commit(); });
}

void Connection::RollbackTrans() {
    withProviderErrors([&] { database()->rollback(); });
}

bool Connection::inTransaction() const {
    return db_ && db_->inTransaction();
}

}  // namespace data
