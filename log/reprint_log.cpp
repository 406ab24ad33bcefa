#include "log/reprint_log.h"

#include "core/clock.h"
#include "core/data_folder.h"
#include "core/error.h"
#include "log/shared_log.h"
#include "table/engine_date.h"

#include <QFileInfo>

namespace qm {

using table::TTzDbf;

namespace {

QString DigitsOf(const QString& text) {
    QString digits;
    for (const QChar c : text)
        if (c.isDigit()) digits += c;
    return digits;
}

} // namespace

QString ReprintTablePath() {
    return DataFolder() + QStringLiteral("Reports/reprints.dbf");
}

const std::vector<std::string>& ReprintFieldLines() {
    static const std::vector<std::string> lines = {"mailernum, C, 35, 0", "rdate, D, 8, 0",
                                                   "rtime, C, 8, 0", "reason, C, 60, 0"};
    return lines;
}

QString AppendReprint(const QString& path, const QString& mailernum, const QString& reason) {
    std::unique_ptr<TTzDbf> t;
    try {
        t = MakeSharedReportTable("TzDbfReprints", path, ReprintFieldLines());
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
    return AppendLockedRecord(
        std::move(t), QStringLiteral("The reprints table %1 is locked by another user.").arg(path),
        [&](TTzDbf& t) {
            t.SetField("mailernum", mailernum.trimmed().toStdString());
            t.SetField("rdate", table::FormatEngineDate(table::Today()));
            t.SetField("rtime",
                       CurrentDateTime().time().toString(QStringLiteral("HH:mm:ss")).toStdString());
            t.SetField("reason", reason.simplified().toStdString());
        });
}

EntryFields ReprintFieldsOf(const LogEntry& e, const std::array<QString, 5>& senderLabels) {
    EntryFields f;
    f.senderLabels = senderLabels;
    f.addresseeLines = e.addressee;
    f.city = e.city;
    f.state = e.state;
    f.zipText = e.zip;
    f.re = e.re;
    f.comment = e.comments;
    f.postage = e.postage;
    f.certFee = e.certified;
    f.returnFee = e.returnFee;
    f.restrictedFee = e.restricted;
    f.restricted = !e.restricted.trimmed().isEmpty();
    f.total = e.total;
    return f;
}

std::optional<LogEntry> FindLoggedPiece(const QString& logPath, const QString& number) {
    const QString wanted = DigitsOf(number);
    if (wanted.isEmpty() || !QFileInfo::exists(logPath)) return std::nullopt;
    try {
        SharedLogUse use(logPath);
        TTzDbf* const log = &use.Table();
        auto field = [&log](const char* name) { return log->FieldIndex(name); };
        const int mailernum = field("mailernum");
        const int names[4] = {field("sentname0"), field("sentname1"), field("sentname2"),
                              field("sentname3")};
        std::optional<LogEntry> found;
        std::vector<std::string> values;
        bool deleted = false;
        auto text = [&values](int i) {
            return i < 0 ? QString() : QString::fromStdString(values[size_t(i)]);
        };
        const uint32_t count = log->RecCount();
        for (uint32_t n = count; n >= 1 && mailernum >= 0; --n) {
            log->PeekRecord(n, values, deleted);
            if (deleted || DigitsOf(text(mailernum)) != wanted) continue;
            LogEntry e;
            for (int i = 0; i < 4; ++i) e.addressee[size_t(i)] = text(names[i]).trimmed();
            e.city = text(field("city")).trimmed();
            e.state = text(field("state")).trimmed();
            e.zip = text(field("zip")).trimmed();
            e.mailernum = text(mailernum).trimmed();
            e.postage = text(field("postage"));
            e.certified = text(field("certified"));
            e.restricted = text(field("restricted"));
            e.returnFee = text(field("return"));
            e.total = text(field("total"));
            e.comments = text(field("comments")).trimmed();
            e.re = text(field("re")).trimmed();
            found = e;
            break;
        }
        return found;
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("The mailing log %1 could not be read: %2")
                        .arg(logPath, QString::fromStdString(e.what())));
    }
}

} // namespace qm
