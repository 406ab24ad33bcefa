#include "log/report_layout.h"

#include "log/log_table.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace qm {

int ReportLayout::Lines() const {
    int lines = 1;
    for (const ReportColumn& c : columns) lines = std::max(lines, c.line);
    return lines;
}

const ReportLayout* ReportProject::Find(const QString& name) const {
    for (const ReportLayout& r : reports)
        if (r.name.compare(name, Qt::CaseInsensitive) == 0) return &r;
    return nullptr;
}

namespace {

// Splits a statement into words; a double-quoted text is one word ("" inside is a quote).
bool SplitWords(const QString& line, QStringList& words, QString& why) {
    words.clear();
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        const QChar c = line[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'#' && words.isEmpty()) return true;
        QString word;
        if (c == u'"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (line[i] == u'"') {
                    if (i + 1 < n && line[i + 1] == u'"') {
                        word += u'"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                word += line[i++];
            }
            if (!closed) {
                why = QStringLiteral("a text in quotes is not closed");
                return false;
            }
        } else {
            while (i < n && !line[i].isSpace()) word += line[i++];
        }
        words << word;
    }
    return true;
}

class Parser {
public:
    Parser(const QString& fileName) : file_(fileName) {}

    ReportProject Parse(const QString& text) {
        const QStringList lines = text.split(u'\n');
        for (int i = 0; i < lines.size(); ++i) {
            lineNo_ = i + 1;
            QString why;
            QStringList w;
            if (!SplitWords(lines[i], w, why)) Fail(why);
            if (!w.isEmpty()) Statement(w);
        }
        if (current_) {
            lineNo_ = reportLine_;
            Fail(QStringLiteral("report %1 has no \"end\"").arg(current_->name));
        }
        return project_;
    }

private:
    [[noreturn]] void Fail(const QString& why) const {
        throw ReportProjectError(
            QStringLiteral("%1, line %2: %3").arg(file_).arg(lineNo_).arg(why).toStdString());
    }

    void Count(const QStringList& w, int min, int max) const {
        if (w.size() < min || w.size() > max)
            Fail(QStringLiteral("\"%1\" takes %2 to %3 words").arg(w[0]).arg(min - 1).arg(max - 1));
    }

    double Inches(const QString& word, double min, double max) const {
        bool ok = false;
        const double v = word.toDouble(&ok);
        if (!ok || v < min || v > max)
            Fail(QStringLiteral("\"%1\" is not a size from %2 to %3").arg(word).arg(min).arg(max));
        return v;
    }

    // A field the log does not have would print empty without a word: named here.
    void CheckField(const QString& field) const {
        if (field == u"#" || field == u"-") return; // the number, an empty column
        for (const std::string& line : LogFieldLines())
            if (QString::fromStdString(line.substr(0, line.find(','))).trimmed().toLower() == field)
                return;
        Fail(QStringLiteral("the log has no field \"%1\"").arg(field));
    }

    ReportTotal Total(const QStringList& w) const {
        ReportTotal t;
        if (w.size() == 3 && w[1] == u"count") {
            t.text = w[2];
        } else if (w.size() == 4 && w[1] == u"sum") {
            t.sum = true;
            t.field = w[2].toLower();
            CheckField(t.field);
            t.text = w[3];
        } else {
            Fail(QStringLiteral("\"%1\" takes count TEXT or sum FIELD TEXT").arg(w[0]));
        }
        return t;
    }

    void Statement(const QStringList& w) {
        const QString key = w[0].toLower();
        if (key == u"report") {
            Count(w, 2, 2);
            if (current_) Fail(QStringLiteral("report %1 has no \"end\"").arg(current_->name));
            if (project_.Find(w[1])) Fail(QStringLiteral("report %1 is defined twice").arg(w[1]));
            project_.reports.append(ReportLayout());
            current_ = &project_.reports.last();
            current_->name = w[1];
            reportLine_ = lineNo_;
            return;
        }
        if (!current_) Fail(QStringLiteral("\"%1\" outside a report").arg(w[0]));
        ReportLayout& r = *current_;
        if (key == u"end") {
            Count(w, 1, 1);
            if (r.columns.isEmpty()) Fail(QStringLiteral("report %1 has no columns").arg(r.name));
            current_ = nullptr;
        } else if (key == u"title") {
            Count(w, 2, 2);
            r.title = w[1];
        } else if (key == u"paper") {
            Count(w, 3, 3);
            if (w[1].compare(u"letter", Qt::CaseInsensitive) != 0)
                Fail(QStringLiteral("paper \"%1\" is not known; use Letter").arg(w[1]));
            if (w[2] != u"portrait" && w[2] != u"landscape")
                Fail(QStringLiteral("paper takes portrait or landscape"));
            r.landscape = w[2] == u"landscape";
        } else if (key == u"margin") {
            Count(w, 2, 2);
            r.margin = Inches(w[1], 0, 2);
        } else if (key == u"font") {
            Count(w, 3, 3);
            r.fontFamily = w[1];
            r.fontPoints = Inches(w[2], 4, 24);
        } else if (key == u"header") {
            Count(w, 2, 2);
            r.headers << w[1];
        } else if (key == u"column") {
            Count(w, 6, 6);
            ReportColumn c;
            bool ok = false;
            c.line = w[1].toInt(&ok);
            if (!ok || c.line < 1 || c.line > 9)
                Fail(QStringLiteral("\"%1\" is not a line from 1 to 9").arg(w[1]));
            for (const QString& group : w[2].toLower().split(u',')) {
                const QStringList fields = group.split(u'+');
                if (fields.contains(QString()))
                    Fail(QStringLiteral("\"%1\" is not a list of fields").arg(w[2]));
                for (const QString& field : fields) CheckField(field);
                c.fields << fields;
            }
            c.width = Inches(w[3], 0.1, 10);
            if (w[4] != u"left" && w[4] != u"right")
                Fail(QStringLiteral("a column is aligned left or right, not \"%1\"").arg(w[4]));
            c.right = w[4] == u"right";
            c.heading = w[5];
            r.columns << c;
        } else if (key == u"pagefooter") {
            r.pageFooter << Total(w);
        } else if (key == u"footer") {
            r.footer << Total(w);
        } else if (key == u"box") {
            Count(w, 4, 4);
            r.boxes << ReportBox{Inches(w[1], 0.5, 10), Inches(w[2], 0.2, 4), w[3]};
        } else {
            Fail(QStringLiteral("\"%1\" is not a statement of a report").arg(w[0]));
        }
    }

    QString file_;
    int lineNo_ = 0;
    int reportLine_ = 0;
    ReportProject project_;
    ReportLayout* current_ = nullptr;
};

} // namespace

ReportProject ParseReportProject(const QString& text, const QString& fileName) {
    return Parser(fileName).Parse(text);
}

ReportProject LoadReportProject(const QString& path) {
    QString name = path;
    if (!QFileInfo(name).fileName().contains(u'.')) name += QStringLiteral(".rav");
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw ReportProjectError(QStringLiteral("Cannot open the report project %1: %2")
                                     .arg(name, f.errorString())
                                     .toStdString());
    return ParseReportProject(QString::fromUtf8(f.readAll()), name);
}

} // namespace qm
