#include "log/shared_log.h"

#include "log/log_table.h"
#include "tzdbf.h"

#include <QFileInfo>

#include <map>
#include <memory>

namespace qm {

struct SharedLogUse::Shared {
    std::unique_ptr<table::TTzDbf> table;
    int users = 0;
};

namespace {

// The logs in use, by path; an entry lives while it has users.
std::map<QString, std::unique_ptr<SharedLogUse::Shared>>& Logs() {
    static std::map<QString, std::unique_ptr<SharedLogUse::Shared>> logs;
    return logs;
}

QString KeyOf(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

// Opens the log for writing; a log this user may only read opens for reading, so the windows
// and reports still show it (an append to it then fails, naming the log).
void OpenLog(table::TTzDbf& t) {
    const auto reopenForReading = [&](int code) {
        if (code != int(table::TErrorCode::AccessDenied) || t.ReadOnly()) return false;
        t.SetReadOnly(true);
        t.Open();
        return true;
    };
    try {
        table::ClearLastError();
        t.Open();
    } catch (const table::EZezudError& e) {
        if (!reopenForReading(int(e.Error()))) throw;
        return;
    }
    // With reporting off a failed open only records its error.
    if (!t.Active()) reopenForReading(table::LastErrorCode());
}

void CloseQuietly(table::TTzDbf& t) {
    table::TReportingOff quiet;
    try {
        if (t.Active()) t.Close();
    } catch (const std::exception&) {
        // closing after the last use: nobody is left to tell
    }
}

} // namespace

SharedLogUse::SharedLogUse(const QString& path, Opening opening) {
    const QString key = KeyOf(path);
    auto& logs = Logs();
    auto it = logs.find(key);
    if (it == logs.end()) {
        auto shared = std::make_unique<Shared>();
        shared->table = MakeLogTable(path);
        // The log stays open while a window shows it: each appended piece reaches the file whole
        // at once, its header counting it for every reader of the table.
        shared->table->SetWriteThrough(true);
        it = logs.emplace(key, std::move(shared)).first;
    }
    Shared& s = *it->second;
    if (opening == Opening::Now && !s.table->Active()) {
        try {
            OpenLog(*s.table);
        } catch (...) {
            if (s.users == 0) logs.erase(it);
            throw;
        }
    }
    ++s.users;
    shared_ = &s;
}

SharedLogUse::~SharedLogUse() {
    if (--shared_->users > 0) return;
    CloseQuietly(*shared_->table);
    auto& logs = Logs();
    for (auto it = logs.begin(); it != logs.end(); ++it)
        if (it->second.get() == shared_) {
            logs.erase(it);
            break;
        }
}

bool SharedLogUse::OpenIfPresent() {
    table::TTzDbf& t = *shared_->table;
    if (!t.Active() && QFileInfo::exists(QString::fromStdString(t.DbfFileName()))) OpenLog(t);
    return t.Active();
}

table::TTzDbf& SharedLogUse::Table() {
    return *shared_->table;
}

int SharedLogUse::Users(const QString& path) {
    const auto it = Logs().find(KeyOf(path));
    return it == Logs().end() ? 0 : it->second->users;
}

ExclusiveLogUse::ExclusiveLogUse(table::TTzDbf& log) : log_(log) {
    try {
        log_.SetExclusive(true);
    } catch (...) {
        BackToShared();
        throw;
    }
}

ExclusiveLogUse::~ExclusiveLogUse() {
    BackToShared();
}

void ExclusiveLogUse::BackToShared() noexcept {
    table::TReportingOff quiet;
    try {
        const bool wasOpen = log_.Active();
        log_.SetExclusive(false);
        // The other users of the process keep the log open.
        if (!wasOpen) log_.Open();
    } catch (const std::exception&) {
        // it stays closed; the next use opens it again
    }
}

} // namespace qm
