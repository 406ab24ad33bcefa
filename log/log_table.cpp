#include "log/log_table.h"

#include "core/data_folder.h"
#include "core/error.h"
#include "core/form_text.h"
#include "log/print_journal.h"
#include "log/shared_log.h"
#include "numbers/barcode_data.h"

#include <functional>
#include <stdexcept>

namespace qm {

using table::TTzDbf;

QString LogTablePath() {
    return DataFolder() + QStringLiteral("Reports/report3.dbf");
}

const std::vector<std::string>& LogFieldLines() {
    static const std::vector<std::string> lines = {
        "sentname0, C, 30, 0", "sentname1, C, 30, 0", "sentname2, C, 30, 0", "sentname3, C, 30, 0",
        "city, C, 35, 0",      "state, C, 4, 0",      "zip, C, 10, 0",       "rdate, D, 8, 0",
        "mailernum, C, 35, 0", "postage, C, 15, 0",   "certified, C, 15, 0", "restricted, C, 15, 0",
        "return, C, 15, 0",    "total, C, 15, 0",     "comments, C, 35, 0",  "re, C, 25, 0"};
    return lines;
}

const std::vector<LogFieldObject>& LogFieldObjects() {
    static const std::vector<LogFieldObject> objects = {
        {"TzDbfReportSENTNAME0", "SENTNAME0", 'C', 30},
        {"TzDbfReportSENTNAME1", "SENTNAME1", 'C', 30},
        {"TzDbfReportSENTNAME2", "SENTNAME2", 'C', 30},
        {"TzDbfReportSENTNAME3", "SENTNAME3", 'C', 30},
        {"TzDbfReportCITY", "CITY", 'C', 35},
        {"TzDbfReportSTATE", "STATE", 'C', 4},
        {"TzDbfReportZIP", "ZIP", 'C', 10},
        {"TzDbfReportRDATE", "RDATE", 'D', 0},
        {"TzDbfReportPOSTAGE", "POSTAGE", 'C', 15},
        {"TzDbfReportCERTIFIED", "CERTIFIED", 'C', 15},
        {"TzDbfReportRESTRICTED", "RESTRICTED", 'C', 15},
        {"TzDbfReportRETURN", "RETURN", 'C', 15},
        {"TzDbfReportTOTAL", "TOTAL", 'C', 15},
        {"TzDbfReportCOMMENTS", "COMMENTS", 'C', 35},
        {"TzDbfReportRE", "RE", 'C', 25},
        {"TzDbfReportMAILERNUM", "MAILERNUM", 'C', 35},
    };
    return objects;
}

std::unique_ptr<TTzDbf> MakeSharedReportTable(const char* name, const QString& path,
                                              const std::vector<std::string>& fields) {
    auto t = std::make_unique<TTzDbf>(name);
    t->SetDbfFileName(path.toStdString());
    t->SetDbfFields(fields);
    t->SetHideDeletedRecs(false);
    t->SetTableLanguage(table::TTableLanguage::tlOem);
    t->SetReadOnly(false);
    t->SetExclusive(false);
    t->SetCreateIndex(table::TCreateIndex::ciNotFound);
    t->SetCreateIfNotFound(true);
    return t;
}

std::unique_ptr<TTzDbf> MakeLogTable(const QString& path) {
    return MakeSharedReportTable("TzDbfReport", path, LogFieldLines());
}

QString FieldShapeFault(const TTzDbf& t, const std::vector<std::string>& fields,
                        const QString& kind) {
    if (t.FieldCount() != int(fields.size()))
        return QStringLiteral("it has %1 fields, %2 has %3")
            .arg(t.FieldCount())
            .arg(kind)
            .arg(fields.size());
    for (const std::string& line : fields) {
        table::TFieldSpec given, used;
        bool corrected = false, skip = false;
        table::ParseFieldLine(line, given, used, corrected, skip);
        const int i = t.FieldIndex(used.name);
        const QString name = QString::fromStdString(used.name).toUpper();
        if (i < 0) return QStringLiteral("it has no field %1").arg(name);
        const table::TFieldDef& d = t.FieldDef(i);
        if (d.type != used.type || d.width != used.width)
            return QStringLiteral("its field %1 is %2 %3 wide, %4's is %5 %6 wide")
                .arg(name, QChar(d.type))
                .arg(d.width)
                .arg(kind, QChar(used.type))
                .arg(used.width);
    }
    return {};
}

bool IsLogShaped(const TTzDbf& t, QString* why) {
    const QString fault = FieldShapeFault(t, LogFieldLines(), QStringLiteral("a mailing log"));
    if (why) *why = fault;
    return fault.isEmpty();
}

QString LogMailerNumber(const QString& data) {
    return ReadableNumber(data); // the number as the form prints it
}

LogEntry LogEntryOf(const PrintRequest& r, const EntryFields& fields, const QString& barcodeData) {
    LogEntry e;
    e.addressee = fields.addresseeLines;
    e.city = TrimForm(fields.city);
    e.state = TrimForm(fields.state);
    e.zip = r.addresseeZip;
    e.mailernum = LogMailerNumber(barcodeData);
    e.postage = r.postage;
    e.certified = r.certFee;
    e.restricted = r.restrictedFee;
    e.returnFee = r.returnFee;
    e.total = r.total;
    e.comments = r.comment;
    e.re = r.reference;
    return e;
}

QString AppendLockedRecord(TTzDbf& table, const QString& lockedMessage,
                           const std::function<void(TTzDbf&)>& fill) {
    table.ClearRecord();
    fill(table);
    // The engine waits a bounded time for another copy's append lock.
    table::TTableLock lock(table, table::TTableLock::Append);
    if (!lock.Held()) return lockedMessage;
    table.AppendRec();
    return {};
}

QString AppendLockedRecord(std::unique_ptr<TTzDbf> table, const QString& lockedMessage,
                           const std::function<void(TTzDbf&)>& fill) {
    try {
        table->Open();
        const QString refused = AppendLockedRecord(*table, lockedMessage, fill);
        table->Close();
        return refused;
    } catch (const std::exception& error) {
        const QString text = QString::fromStdString(error.what());
        table::TReportingOff quiet;
        try {
            table->Close();
        } catch (const std::exception&) {
            // the first failure is the one to report
        }
        return text;
    }
}

QString AppendLogEntry(const QString& path, const LogEntry& e, const QDate& printed) {
    const table::TDate day = printed.isValid()
                                 ? table::TDate{printed.year(), printed.month(), printed.day()}
                                 : table::Today();
    try {
        SharedLogUse use(path);
        return AppendLockedRecord(
            use.Table(), QStringLiteral("The mailing log %1 is locked by another user.").arg(path),
            [&e, &day](TTzDbf& log) {
                auto set = [&](const char* field, const QString& text) {
                    log.SetField(field, text.toStdString());
                };
                for (int i = 0; i < 4; ++i)
                    set(("sentname" + std::to_string(i)).c_str(), e.addressee[size_t(i)]);
                set("city", e.city.trimmed());
                set("state", e.state.trimmed());
                set("zip", e.zip);
                set("mailernum", e.mailernum);
                set("postage", e.postage);
                set("certified", e.certified);
                set("restricted", e.restricted);
                set("return", e.returnFee);
                set("total", e.total);
                set("comments", e.comments);
                set("re", e.re);
                log.SetField("rdate", table::FormatEngineDate(day));
            });
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
}

QString AppendPrintedPiece(const PrintRequest& request, const EntryFields& fields,
                           const QString& barcodeData) {
    return AppendLogEntry(LogTablePath(), LogEntryOf(request, fields, barcodeData));
}

QString MailingLog::Journal(const PrintRequest& request, const EntryFields& fields,
                            const QString& barcodeData) {
    try {
        JournalPiece(JournalPath(), LogTablePath(), LogEntryOf(request, fields, barcodeData));
        return {};
    } catch (const Error& e) {
        return QString::fromStdString(e.what());
    }
}

QString MailingLog::Unjournal(const QString& barcodeData) {
    try {
        DropJournalEntry(JournalPath(), LogTablePath(), LogMailerNumber(barcodeData));
        return {};
    } catch (const Error& e) {
        return QString::fromStdString(e.what());
    }
}

} // namespace qm
