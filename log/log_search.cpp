#include "log/log_search.h"

#include "engine_date.h"
#include "engine_util.h"

#include <QUrl>

#include <algorithm>

namespace qm {

namespace {

std::string WithoutBlanks(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Contains(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

} // namespace

LogQuery LogQuery::Of(const QString& typed, int from, int to) {
    LogQuery q;
    q.text = table::UpperAscii(typed.trimmed().toStdString());
    const std::string bare = WithoutBlanks(q.text);
    if (AllDigits(bare)) q.digits = bare;
    q.from = from;
    q.to = to;
    return q;
}

int LogDateKey(const std::string& display) {
    table::TDate d;
    if (table::IsBlankDateText(display) || !table::ParseEngineDate(display, d)) return 0;
    return d.year * 10000 + d.month * 100 + d.day;
}

QString UngroupedNumber(const QString& mailernum) {
    QString out = mailernum;
    out.remove(u' ');
    return out;
}

QString TrackingUrlFor(const QString& mailernum) {
    return QStringLiteral("https://tools.usps.com/go/TrackConfirmAction?tLabels=") +
           QString::fromLatin1(QUrl::toPercentEncoding(UngroupedNumber(mailernum)));
}

void LogSearchIndex::Read(table::TTzDbf& log) {
    rows_.clear();
    const uint32_t count = log.RecCount();
    int names[4];
    for (int i = 0; i < 4; ++i) names[i] = log.FieldIndex("SENTNAME" + std::to_string(i));
    const int city = log.FieldIndex("CITY");
    const int zip = log.FieldIndex("ZIP");
    const int date = log.FieldIndex("RDATE");
    const int number = log.FieldIndex("MAILERNUM");
    auto field = [](const std::vector<std::string>& v, int i) -> const std::string& {
        static const std::string none;
        return i >= 0 && size_t(i) < v.size() ? v[size_t(i)] : none;
    };
    rows_.resize(count);
    std::vector<std::string> values;
    for (uint32_t n = 1; n <= count; ++n) {
        Entry& e = rows_[n - 1];
        if (!log.PeekRecord(n, values, e.deleted)) {
            rows_.resize(n - 1); // a record being appended by another copy: read next time
            break;
        }
        for (int i = 0; i < 4; ++i) {
            if (i) e.names += '\n';
            e.names += table::UpperAscii(field(values, names[i]));
        }
        e.name0 = field(values, names[0]);
        e.city = table::UpperAscii(field(values, city));
        e.zip = field(values, zip);
        e.date = LogDateKey(field(values, date));
        e.digits = WithoutBlanks(field(values, number));
    }
}

bool LogSearchIndex::Matches(uint32_t recNo, const LogQuery& q) const {
    const Entry& e = Row(recNo);
    if (e.deleted) return false;
    if (q.from && e.date < q.from) return false;
    if (q.to && e.date > q.to) return false;
    if (q.text.empty()) return true;
    if (!q.digits.empty())
        return Contains(e.digits, q.digits) || e.zip.compare(0, q.digits.size(), q.digits) == 0;
    return Contains(e.names, q.text) || Contains(e.city, q.text) ||
           e.zip.compare(0, q.text.size(), q.text) == 0;
}

bool LogSearchIndex::Less(uint32_t a, uint32_t b, LogOrder order) const {
    const Entry& x = Row(a);
    const Entry& y = Row(b);
    int c = 0;
    switch (order) {
    case LogOrder::Record:
        if (x.date != y.date) return x.date > y.date;
        return a > b;
    case LogOrder::MailerNumber: c = x.digits.compare(y.digits); break;
    case LogOrder::Name: c = x.name0.compare(y.name0); break;
    case LogOrder::Date:
        c = x.date == y.date ? 0 : (x.date == 0 ? 1 : y.date == 0 ? -1 : x.date - y.date);
        break;
    case LogOrder::ZipCode: c = x.zip.compare(y.zip); break;
    }
    return c != 0 ? c < 0 : a < b;
}

QString LogSearchIndex::MailerNumber(uint32_t recNo) const {
    const std::string& d = Row(recNo).digits;
    QString out;
    // The stored grouping: 4-4-4-4-4-2.
    for (size_t i = 0; i < d.size(); i += 4) {
        if (i) out += u' ';
        out += QString::fromLatin1(d.substr(i, 4));
    }
    return out;
}

} // namespace qm
