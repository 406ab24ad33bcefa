#pragma once
// The report project: the layouts of the log reports, read from Quill3.rav beside the program.
//
// A plain text file, one statement a line, "#" starts a comment, texts with blanks in double
// quotes. The file itself describes the statements; see companion/Quill3.rav.

#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace qm {

// A project file that cannot be read or parsed: the text names the file and the line.
class ReportProjectError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ReportColumn {
    int line = 1;              // line of the entry band, from 1
    QList<QStringList> fields; // groups joined by ", ", fields in a group by " "; "#" the number
    double width = 1;          // inches
    bool right = false;        // right-aligned (money)
    QString heading;
};

struct ReportTotal {
    bool sum = false; // false: the number of entries
    QString field;    // summed field
    QString text;     // %1 is the number
};

struct ReportBox {
    double width = 3;  // inches
    double height = 1; // inches
    QString caption;
};

struct ReportLayout {
    QString name;
    QString title;
    bool landscape = false;
    double margin = 0.5; // inches, all sides
    QString fontFamily = QStringLiteral("Arial");
    double fontPoints = 9;
    QStringList headers; // lines under the title; {Name} is a project parameter
    QList<ReportColumn> columns;
    QList<ReportTotal> pageFooter; // over the entries of each page
    QList<ReportTotal> footer;     // after the last entry, over all entries
    QList<ReportBox> boxes;        // at the foot of every page

    int Lines() const; // lines of one entry band
};

struct ReportProject {
    QList<ReportLayout> reports;
    // nullptr when the project has no report of that name
    const ReportLayout* Find(const QString& name) const;
};

// Parses a project text; `fileName` names it in error messages.
ReportProject ParseReportProject(const QString& text, const QString& fileName);
// Opens a project file. A name without a dot gets ".rav".
ReportProject LoadReportProject(const QString& path);

} // namespace qm
