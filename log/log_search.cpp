#include "log/log_search.h"

#include "codepage.h"
#include "engine_date.h"
#include "engine_util.h"

#include <QUrl>

#include <algorithm>
#include <functional>

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

bool Contains(std::string_view hay, std::string_view needle) {
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

QString UngroupedNumber(const QString& mailernum) {
    QString out = mailernum;
    out.remove(u' ');
    return out;
}

QString TrackingUrlFor(const QString& mailernum) {
    return QStringLiteral("https://tools.usps.com/go/TrackConfirmAction?tLabels=") +
           QString::fromLatin1(QUrl::toPercentEncoding(UngroupedNumber(mailernum)));
}

LogSearchIndex::Filler::Filler(LogSearchIndex& index, const std::vector<table::TFieldDef>& fields,
                               table::TTableLanguage lang)
    : index_(index), lang_(lang) {
    auto field = [&](std::string_view name) -> const table::TFieldDef* {
        for (const table::TFieldDef& f : fields)
            if (f.name == name) return &f;
        return nullptr;
    };
    for (int i = 0; i < 4; ++i) names_[i] = field("SENTNAME" + std::to_string(i));
    city_ = field("CITY");
    zip_ = field("ZIP");
    date_ = field("RDATE");
    number_ = field("MAILERNUM");
}

void LogSearchIndex::Filler::Header(std::string_view header, uint64_t fileSize) {
    index_.rows_.clear();
    index_.text_.clear();
    ended_ = false;
    const size_t recordLength = RecordLengthOf(header);
    for (const table::TFieldDef*& f :
         {std::ref(names_[0]), std::ref(names_[1]), std::ref(names_[2]), std::ref(names_[3]),
          std::ref(city_), std::ref(zip_), std::ref(date_), std::ref(number_)})
        if (f && (f->offset < 1 || size_t(f->offset + f->width) > recordLength)) f = nullptr;
    if (recordLength > 0) {
        const uint64_t records = fileSize / recordLength;
        index_.rows_.reserve(size_t(records));
        index_.text_.reserve(size_t(records) * 48);
    }
}

void LogSearchIndex::Filler::Append(std::string_view record, const table::TFieldDef* f, bool upper,
                                    bool blanks) {
    if (!f) return;
    // A blank is a blank in both code pages: the stored trailing blanks are the shown ones.
    std::string_view stored = record.substr(size_t(f->offset), size_t(f->width));
    const size_t last = stored.find_last_not_of(' ');
    stored = stored.substr(0, last == std::string_view::npos ? 0 : last + 1);
    std::string& text = index_.text_;
    const size_t from = text.size();
    table::DecodeText(lang_, stored.data(), stored.size(), text);
    if (!upper && blanks) return;
    size_t to = from;
    for (size_t i = from; i < text.size(); ++i) {
        char c = text[i];
        if (!blanks && c == ' ') continue;
        if (upper && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        text[to++] = c;
    }
    text.resize(to);
}

void LogSearchIndex::Filler::Record(uint64_t, std::string_view record) {
    if (ended_ || (record[0] != ' ' && record[0] != '*')) {
        ended_ = true; // the end-of-file mark, or no record: the engine counts none after it
        return;
    }
    Entry& e = index_.rows_.emplace_back();
    std::string& text = index_.text_;
    e.deleted = record[0] == '*';
    e.at = text.size();
    auto part = [&](Part p, auto&& fill) {
        const size_t from = text.size();
        fill();
        e.length[p] = uint16_t(text.size() - from);
    };
    part(kNames, [&] {
        for (int i = 0; i < 4; ++i) {
            if (i) text += '\n';
            Append(record, names_[i], true, true);
        }
    });
    part(kName0, [&] { Append(record, names_[0], false, true); });
    part(kDigits, [&] { Append(record, number_, false, false); });
    part(kCity, [&] { Append(record, city_, true, true); });
    part(kZip, [&] { Append(record, zip_, false, true); });
    if (date_ && date_->width == 8) {
        const table::TDate d = table::LoadDate(record.data() + date_->offset);
        e.date = d.Empty() ? 0 : d.year * 10000 + d.month * 100 + d.day;
    }
}

std::string_view LogSearchIndex::Text(const Entry& e, Part part) const {
    uint64_t at = e.at;
    for (int p = 0; p < part; ++p) at += e.length[p];
    return std::string_view(text_).substr(size_t(at), e.length[part]);
}

bool LogSearchIndex::Matches(uint32_t recNo, const LogQuery& q) const {
    const Entry& e = Row(recNo);
    if (e.deleted) return false;
    if (q.from && e.date < q.from) return false;
    if (q.to && e.date > q.to) return false;
    if (q.text.empty()) return true;
    const std::string_view zip = Text(e, kZip);
    if (!q.digits.empty())
        return Contains(Text(e, kDigits), q.digits) || zip.substr(0, q.digits.size()) == q.digits;
    return Contains(Text(e, kNames), q.text) || Contains(Text(e, kCity), q.text) ||
           zip.substr(0, q.text.size()) == q.text;
}

bool LogSearchIndex::Less(uint32_t a, uint32_t b, LogOrder order) const {
    const Entry& x = Row(a);
    const Entry& y = Row(b);
    int c = 0;
    switch (order) {
    case LogOrder::Record:
        if (x.date != y.date) return x.date > y.date;
        return a > b;
    case LogOrder::MailerNumber: c = Text(x, kDigits).compare(Text(y, kDigits)); break;
    case LogOrder::Name: c = Text(x, kName0).compare(Text(y, kName0)); break;
    case LogOrder::Date:
        c = x.date == y.date ? 0 : (x.date == 0 ? 1 : y.date == 0 ? -1 : x.date - y.date);
        break;
    case LogOrder::ZipCode: c = Text(x, kZip).compare(Text(y, kZip)); break;
    }
    return c != 0 ? c < 0 : a < b;
}

QString LogSearchIndex::MailerNumber(uint32_t recNo) const {
    const std::string_view d = Text(Row(recNo), kDigits);
    QString out;
    // The stored grouping: 4-4-4-4-4-2.
    for (size_t i = 0; i < d.size(); i += 4) {
        if (i) out += u' ';
        out += QString::fromLatin1(d.data() + i, qsizetype(std::min<size_t>(4, d.size() - i)));
    }
    return out;
}

} // namespace qm
