// Two real users of one office, each running the program in processes of their own with
// umask 022, as the help tells an office to share a data folder: a folder of the office's
// group with mode 2770. Each prints through the print road onto a CUPS PDF queue (the piece
// goes to the log), exports the log and packs tables, first one user then the other
// creating the files, in a fresh folder for each order. A user's default data folder is
// private; a quill4.ini that another user replaced by a link stops the print.
//
// Root only (it makes users): the users qm-desk-a and qm-desk-b and the group qm-office are
// made when missing, reused when an earlier run left them, and removed at the end when this
// run made them. Without a CUPS PDF queue the pieces go into PDF files through the same road.
#include "private_cups.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

namespace {

using namespace qm::test;

const QString kGroup = QStringLiteral("qm-office");
const QString kQueue = QStringLiteral("QmDesks");
const QString kCustomer = QStringLiteral("123456789");
const QString kHelper = QStringLiteral(QM_PRINT_ONE_PIECE);
const QString kQuillmark = QStringLiteral(QM_QUILLMARK);
const QString kQmtable = QStringLiteral(QM_QMTABLE);

struct Account {
    QString name;
    uid_t uid = 0;
    gid_t gid = 0; // the user's own group, as a login gives it
    QString home;
};

std::optional<Account> Lookup(const QString& name) {
    const passwd* pw = getpwnam(name.toLocal8Bit().constData());
    if (!pw) return std::nullopt;
    return Account{name, pw->pw_uid, pw->pw_gid, QString::fromLocal8Bit(pw->pw_dir)};
}

struct Ran {
    QStringList command;
    int exitCode = -1;
    QString out, err;
};

std::ostream& operator<<(std::ostream& o, const Ran& r) {
    return o << r.command.join(u' ').toStdString() << "\nexit " << r.exitCode
             << "\nstdout: " << r.out.toStdString() << "\nstderr: " << r.err.toStdString();
}

Ran Run(const QStringList& command, const QProcessEnvironment& env) {
    Ran r;
    r.command = command;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(command.first(), command.mid(1));
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = QStringLiteral("(did not finish in a minute) ");
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    }
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err += QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

Ran AsRoot(const QStringList& command) {
    return Run(command, QProcessEnvironment::systemEnvironment());
}

// `command` as `who` in a session of their own: their uid, their own group, their groups
// from /etc/group, umask 022, HOME `home` (their home folder when empty), no XDG settings.
Ran As(const Account& who, const QStringList& command, const QString& home = {}) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    env.insert(QStringLiteral("HOME"), home.isEmpty() ? who.home : home);
    env.insert(QStringLiteral("USER"), who.name);
    env.insert(QStringLiteral("LOGNAME"), who.name);
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The private scheduler, and the sanitizers' settings of a sanitizer build.
    for (const char* name : {"CUPS_SERVER", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (qEnvironmentVariableIsSet(name))
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    const QStringList login{QStringLiteral("setpriv"),
                            QStringLiteral("--reuid=%1").arg(who.uid),
                            QStringLiteral("--regid=%1").arg(who.gid),
                            QStringLiteral("--init-groups"),
                            QStringLiteral("--"),
                            QStringLiteral("/bin/sh"),
                            QStringLiteral("-c"),
                            QStringLiteral("umask 022; exec \"$@\""),
                            QStringLiteral("sh")};
    Ran r = Run(login + command, env);
    r.command = QStringList{who.name + u':'} + command;
    return r;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Stat {
    bool ok = false;
    mode_t mode = 0; // permission bits with set-group-ID
    uid_t owner = 0;
    gid_t group = 0;
    bool link = false;
};

Stat StatOf(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_mode & 07777, st.st_uid, st.st_gid, S_ISLNK(st.st_mode)};
}

// What the entries below `folder` (not the folder itself) should have.
struct Access {
    mode_t file = 0;
    mode_t folder = 0;
    std::optional<gid_t> group;
    std::optional<uid_t> owner;
};

// One line each, for the failure messages.
std::string Lines(const QStringList& lines) {
    return lines.join(u'\n').toStdString();
}

// Every entry below `folder` but those in `except` (paths relative to it) that differs from
// `want`, with what it has; empty when all are right.
std::string WrongAccess(const QString& folder, const Access& want, const QStringList& except = {}) {
    QStringList wrong;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        if (except.contains(name)) continue;
        const Stat s = StatOf(path);
        const bool isFolder = QFileInfo(path).isDir() && !s.link;
        const mode_t mode = isFolder ? want.folder : want.file;
        if (s.mode != mode || s.link || (want.group && s.group != *want.group) ||
            (want.owner && s.owner != *want.owner))
            wrong << QStringLiteral("%1: %2 uid %3 gid %4")
                         .arg(name, s.link ? QStringLiteral("link") : QString::number(s.mode, 8))
                         .arg(s.owner)
                         .arg(s.group);
    }
    return Lines(wrong);
}

// The records of qmtable dump's CSV text (a quoted value may hold line breaks).
QList<QStringList> CsvRecords(const QString& text) {
    QList<QStringList> records;
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
            fields.last() += text[++i];
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            fields << QString();
        } else if (c == u'\n' && !quoted) {
            records << fields;
            fields = QStringList{QString()};
        } else if (c != u'\r' || quoted) {
            fields.last() += c;
        }
    }
    if (fields.size() > 1 || !fields.first().isEmpty()) records << fields;
    return records;
}

// `field` of every record of the table, read by `who` through qmtable dump.
QStringList FieldOfRecords(const Account& who, const QString& table, const QString& field) {
    const Ran r = As(who, {kQmtable, QStringLiteral("dump"), table});
    EXPECT_EQ(r.exitCode, 0) << r;
    QList<QStringList> records = CsvRecords(r.out);
    if (records.isEmpty()) return {};
    const qsizetype column = records.takeFirst().indexOf(field);
    EXPECT_GE(column, 0) << field.toStdString() << " in " << r;
    QStringList values;
    for (const QStringList& record : records) values << record.value(column).trimmed();
    return values;
}

QString SerialNumOf(const QString& settings) {
    const auto m = QRegularExpression(QStringLiteral("SerialNum=(\\d+)"))
                       .match(QString::fromLatin1(ReadAll(settings)));
    return m.hasMatch() ? m.captured(1) : QString();
}

// The tracking number of a job title ("Certified Mail 9214 ...").
QString NumberOf(const QString& title) {
    return title.section(QStringLiteral("Certified Mail "), 1).trimmed();
}

class TwoUsers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (geteuid() != 0) {
            skip_ = "it makes real users and runs the program as them: root only (CI runs as "
                    "root)";
            return;
        }
        for (const char* tool : {"/usr/sbin/useradd", "/usr/sbin/groupadd", "/usr/sbin/usermod",
                                 "/usr/sbin/userdel", "/usr/sbin/groupdel", "/usr/bin/setpriv"})
            if (!QFileInfo::exists(QString::fromLatin1(tool))) {
                skip_ = std::string(tool) + " is not installed";
                return;
            }
        const auto fail = [](const Ran& r) {
            std::ostringstream o;
            o << r;
            setupFailure_ = o.str();
        };
        if (!getgrnam(kGroup.toLocal8Bit().constData())) {
            const Ran r = AsRoot({QStringLiteral("groupadd"), kGroup});
            if (r.exitCode != 0) return fail(r);
            madeGroup_ = true;
        }
        office_ = getgrnam(kGroup.toLocal8Bit().constData())->gr_gid;
        for (const QString& name : {QStringLiteral("qm-desk-a"), QStringLiteral("qm-desk-b")}) {
            const Ran r = Lookup(name)
                              ? AsRoot({QStringLiteral("usermod"), QStringLiteral("-a"),
                                        QStringLiteral("-G"), kGroup, name})
                              : AsRoot({QStringLiteral("useradd"), QStringLiteral("-m"),
                                        QStringLiteral("-U"), QStringLiteral("-G"), kGroup,
                                        QStringLiteral("-s"), QStringLiteral("/bin/sh"), name});
            if (r.exitCode != 0) return fail(r);
            if (r.command.contains(QStringLiteral("useradd"))) madeUsers_ << name;
        }
        a_ = *Lookup(QStringLiteral("qm-desk-a"));
        b_ = *Lookup(QStringLiteral("qm-desk-b"));
        cups_ = std::make_unique<PrivateCups>(kQueue);
    }

    static void TearDownTestSuite() {
        cups_.reset();
        for (const QString& name : madeUsers_)
            AsRoot({QStringLiteral("userdel"), QStringLiteral("-r"), name});
        if (madeGroup_) AsRoot({QStringLiteral("groupdel"), kGroup});
        madeUsers_.clear();
        madeGroup_ = false;
    }

    void SetUp() override {
        if (!skip_.empty()) GTEST_SKIP() << skip_;
        ASSERT_TRUE(setupFailure_.empty()) << setupFailure_;
        ASSERT_TRUE(base_.isValid());
        // The users reach their folders through it, as through /home or a share's mount point.
        ASSERT_EQ(::chmod(QFile::encodeName(base_.path()).constData(), 0711), 0);
        if (!cups_->Problem().empty())
            std::cerr << "No CUPS PDF queue (" << cups_->Problem()
                      << "): the pieces go into PDF files through the same print road.\n";
    }

    void TearDown() override {
        if (!skip_.empty()) return;
        // The printed pages of a failed test: the users' PDF folders keep nothing of ours.
        for (const Printed& p : printed_) QFile::remove(p.file);
    }

    static bool Queue() { return cups_ && cups_->Problem().empty(); }

    // A folder as the help tells an office to prepare one: the office's group, mode 2770.
    QString SharedFolder(const QString& name) {
        const QString folder = base_.filePath(name);
        EXPECT_TRUE(QDir().mkdir(folder));
        const QByteArray native = QFile::encodeName(folder);
        EXPECT_EQ(::chown(native.constData(), uid_t(-1), office_), 0);
        EXPECT_EQ(::chmod(native.constData(), 02770), 0);
        return folder;
    }

    // One piece addressed to `name`, printed by `who` into `folder` (their default data
    // folder when empty, with `home` as HOME). Returns the job's title, empty when nothing
    // was printed; the page is collected by CollectPrinted.
    QString Print(const Account& who, const QString& name, const QString& folder,
                  const QString& home = {}) {
        QStringList command{kHelper, QStringLiteral("--customer"), kCustomer};
        if (!folder.isEmpty()) command << QStringLiteral("--folder") << folder;
        QString file;
        if (!Queue()) {
            file = who.home + QStringLiteral("/piece-%1.pdf").arg(printed_.size());
            command << QStringLiteral("--pdf") << file;
        }
        const QDateTime started = QDateTime::currentDateTime();
        const Ran r = As(who, command << name, home);
        EXPECT_EQ(r.exitCode, 0) << r;
        const auto m = QRegularExpression(QStringLiteral("^printed (.+)$"),
                                          QRegularExpression::MultilineOption)
                           .match(r.out);
        if (r.exitCode != 0 || !m.hasMatch()) return {};
        printed_.push_back({who, m.captured(1), started, file});
        return m.captured(1);
    }

    // Waits for every page printed since the last call to come out of the queue (into the
    // printing user's PDF folder) whole, and removes it.
    void CollectPrinted() {
        for (Printed& p : printed_) {
            if (p.file.isEmpty()) {
                QString pattern = p.title;
                pattern.replace(u' ', u'*');
                QDeadlineTimer deadline(60000);
                while (p.file.isEmpty() && !deadline.hasExpired()) {
                    for (const QFileInfo& f :
                         QDir(OutputFolder(p.who.uid)).entryInfoList({pattern + u'*'}, QDir::Files))
                        if (f.lastModified() >= p.started.addSecs(-1) &&
                            WrittenWhole(f.absoluteFilePath()))
                            p.file = f.absoluteFilePath();
                    if (p.file.isEmpty()) QThread::msleep(100);
                }
            }
            EXPECT_FALSE(p.file.isEmpty())
                << "no page from the queue for " << p.who.name.toStdString() << "'s "
                << p.title.toStdString() << "\n"
                << cups_->ErrorLog().toStdString();
            if (p.file.isEmpty()) continue;
            EXPECT_TRUE(ReadAll(p.file).startsWith("%PDF")) << p.file.toStdString();
            QFile::remove(p.file);
        }
        printed_.clear();
    }

    // The jobs the queue has had, done or not (none without a queue).
    static int Jobs() {
        if (!Queue()) return 0;
        const Ran r = AsRoot({QStringLiteral("lpstat"), QStringLiteral("-W"), QStringLiteral("all"),
                              QStringLiteral("-o"), kQueue});
        return int(r.out.split(u'\n', Qt::SkipEmptyParts).size());
    }

    // Both users print, export, pack and print again in `folder`, `first` making the files.
    void ShareFolder(const Account& first, const Account& second, const QString& folder);

    static inline std::string skip_, setupFailure_;
    static inline QStringList madeUsers_;
    static inline bool madeGroup_ = false;
    static inline gid_t office_ = 0;
    static inline Account a_, b_;
    static inline std::unique_ptr<PrivateCups> cups_;

    QTemporaryDir base_;

private:
    struct Printed {
        Account who;
        QString title;
        QDateTime started;
        QString file;
    };
    std::vector<Printed> printed_;
};

void TwoUsers::ShareFolder(const Account& first, const Account& second, const QString& folder) {
    const QString log = folder + QStringLiteral("/Reports/report3.dbf");
    const auto ok = [](const Ran& r) { EXPECT_EQ(r.exitCode, 0) << r; };
    const Access shared{0660, 02770, office_, std::nullopt};

    // The first desk's start makes the settings, their lock, the folders and the log.
    QStringList titles;
    titles << Print(first, first.name + QStringLiteral(" one"), folder);
    titles << Print(second, second.name + QStringLiteral(" one"), folder);
    for (const Account& who : {first, second}) {
        const QString csv = folder + QStringLiteral("/export-%1.csv").arg(who.name);
        ok(As(who, {kQuillmark, QStringLiteral("--folder"), folder, QStringLiteral("--export-log"),
                    csv}));
        const QByteArray text = ReadAll(csv);
        for (const QString& title : titles.mid(0, 2))
            EXPECT_TRUE(text.contains(NumberOf(title).toUtf8())) << who.name.toStdString();
    }
    // The workbook export: its own road to the file.
    ok(As(second, {kQuillmark, QStringLiteral("--folder"), folder, QStringLiteral("--export-log"),
                   folder + QStringLiteral("/export-%1.xlsx").arg(second.name)}));
    // A pack writes the log anew when it has a record to remove: a stray entry one desk
    // appended and deleted. The other desk's pack puts a file of its own in place of the log,
    // and the first desk appends to it.
    const auto stray = [&](const Account& who) {
        const Ran added = As(who, {kQmtable, QStringLiteral("append"), log,
                                   QStringLiteral("SENTNAME0=Stray entry")});
        ok(added);
        ok(As(who, {kQmtable, QStringLiteral("delete"), log, added.out.trimmed()}));
    };
    stray(second);
    ok(As(first, {kQmtable, QStringLiteral("pack"), log}));
    EXPECT_EQ(StatOf(log).owner, first.uid) << "the pack wrote the log anew";
    titles << Print(second, second.name + QStringLiteral(" two"), folder);
    stray(first);
    ok(As(second, {kQmtable, QStringLiteral("pack"), log}));
    EXPECT_EQ(StatOf(log).owner, second.uid) << "the pack wrote the log anew";
    titles << Print(first, first.name + QStringLiteral(" two"), folder);
    EXPECT_EQ(WrongAccess(folder, shared), "")
        << "every file and folder the program made is the group's";

    // An address book copied in by hand keeps the copier's umask until the group is given it,
    // as the help says; then either desk packs it (its memo file holds a replaced memo, so
    // the first pack writes both files anew, with the book's access).
    QTemporaryDir made;
    ASSERT_TRUE(made.isValid());
    ::chmod(QFile::encodeName(made.path()).constData(), 0755);
    const QString source = made.filePath(QStringLiteral("book.dbf"));
    ok(AsRoot({QStringLiteral("perl"), QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("memo4"),
               source}));
    const QString book = folder + QStringLiteral("/Addresses/book.dbf");
    ok(As(first, {QStringLiteral("cp"), source, made.filePath(QStringLiteral("book.dbt")),
                  folder + QStringLiteral("/Addresses/")}));
    const Ran refused = As(second, {kQmtable, QStringLiteral("pack"), book});
    EXPECT_NE(refused.exitCode, 0) << "a file copied in with umask 022 is not the group's\n"
                                   << refused;
    ok(AsRoot({QStringLiteral("chgrp"), QStringLiteral("-R"), kGroup, folder}));
    ok(AsRoot({QStringLiteral("chmod"), QStringLiteral("-R"), QStringLiteral("g+rwX"), folder}));
    ok(As(second, {kQmtable, QStringLiteral("pack"), book}));
    EXPECT_EQ(StatOf(book).owner, second.uid) << "the pack wrote the book anew";
    ok(As(first, {kQmtable, QStringLiteral("pack"), book}));
    EXPECT_EQ(
        FieldOfRecords(second, book, QStringLiteral("NAME")),
        (QStringList{QStringLiteral("first"), QStringLiteral("long"), QStringLiteral("none")}));

    CollectPrinted();

    // One record per printed piece, each number once, and the serial counted past them all.
    ASSERT_EQ(titles.size(), 4);
    QStringList numbers;
    for (const QString& title : titles) numbers << NumberOf(title);
    QStringList logged = FieldOfRecords(first, log, QStringLiteral("MAILERNUM"));
    logged.sort();
    numbers.sort();
    EXPECT_EQ(Lines(logged), Lines(numbers));
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), 4);
    EXPECT_EQ(SerialNumOf(folder + QStringLiteral("/quill4.ini")), QStringLiteral("0000004"));
    // The book keeps the access it was given by hand (0664 from a copy with umask 022).
    const QStringList byHand{QStringLiteral("Addresses/book.dbf"),
                             QStringLiteral("Addresses/book.dbt")};
    EXPECT_EQ(WrongAccess(folder, shared, byHand), "");
    for (const QString& name : byHand) {
        const Stat s = StatOf(folder + u'/' + name);
        EXPECT_EQ(s.mode, 0664u) << name.toStdString();
        EXPECT_EQ(s.group, office_) << name.toStdString();
    }
}

TEST_F(TwoUsers, SharedFolderServesBothDesksWhoeverStartsFirst) {
    {
        SCOPED_TRACE("qm-desk-a makes the files, qm-desk-b uses them");
        ShareFolder(a_, b_, SharedFolder(QStringLiteral("office-ab")));
    }
    {
        SCOPED_TRACE("qm-desk-b makes the files, qm-desk-a uses them");
        ShareFolder(b_, a_, SharedFolder(QStringLiteral("office-ba")));
    }
}

TEST_F(TwoUsers, DefaultDataFolderIsPrivate) {
    // A home of its own for this run, open to others as most homes are.
    const QString home = base_.filePath(QStringLiteral("home-a"));
    ASSERT_TRUE(QDir().mkdir(home));
    ASSERT_EQ(::chown(QFile::encodeName(home).constData(), a_.uid, a_.gid), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(home).constData(), 0755), 0);

    EXPECT_FALSE(Print(a_, QStringLiteral("Own one"), QString(), home).isEmpty());
    const QString data = home + QStringLiteral("/.local/share/quillmark");
    const Ran exported =
        As(a_, {kQuillmark, QStringLiteral("--export-log"), data + QStringLiteral("/export.csv")},
           home);
    EXPECT_EQ(exported.exitCode, 0) << exported;
    CollectPrinted();

    const Stat folder = StatOf(data);
    ASSERT_TRUE(folder.ok) << "the first run makes " << data.toStdString();
    EXPECT_EQ(folder.mode, 0700u);
    EXPECT_EQ(folder.owner, a_.uid);
    for (const char* made :
         {"quill4.ini", "quill4.ini.lock", "Reports/report3.dbf", "Addresses", "export.csv"})
        EXPECT_TRUE(QFileInfo::exists(data + u'/' + QLatin1String(made))) << made;
    EXPECT_EQ(WrongAccess(data, {0600, 0700, std::nullopt, a_.uid}), "");
}

TEST_F(TwoUsers, SettingsReplacedByALinkStopThePrint) {
    const QString folder = SharedFolder(QStringLiteral("office-link"));
    const QString settings = folder + QStringLiteral("/quill4.ini");
    const QString log = folder + QStringLiteral("/Reports/report3.dbf");
    const QString first = Print(a_, QStringLiteral("Before the link"), folder);
    ASSERT_FALSE(first.isEmpty());

    // A file of a's own that b cannot touch, and b's link to it in a's place.
    const QString victim = a_.home + QStringLiteral("/victim.rc");
    const QByteArray kept = "[Values]\r\nSerialNum=0000777\r\n; qm-desk-a's own file\r\n";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(kept), kept.size());
    }
    ASSERT_EQ(::chown(QFile::encodeName(victim).constData(), a_.uid, a_.gid), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0644), 0);
    const Ran linked = As(b_, {QStringLiteral("ln"), QStringLiteral("-sfn"), victim, settings});
    ASSERT_EQ(linked.exitCode, 0) << linked;
    ASSERT_TRUE(StatOf(settings).link);

    const int jobs = Jobs();
    if (Queue()) {
        ASSERT_GE(jobs, 1) << "the queue lists the first piece's job";
    }
    const Ran refused =
        As(a_, {kHelper, QStringLiteral("--customer"), kCustomer, QStringLiteral("--folder"),
                folder, QStringLiteral("After the link")});
    EXPECT_NE(refused.exitCode, 0) << refused;
    EXPECT_FALSE(refused.out.contains(QStringLiteral("printed"))) << refused;
    const auto why = QRegularExpression(QStringLiteral("^not printed: (.+)$"),
                                        QRegularExpression::MultilineOption)
                         .match(refused.err);
    ASSERT_TRUE(why.hasMatch()) << refused;
    EXPECT_TRUE(why.captured(1).contains(settings + QStringLiteral(" is a symbolic link")))
        << why.captured(1).toStdString();
    CollectPrinted();
    EXPECT_EQ(Jobs(), jobs) << "nothing went to the printer";

    EXPECT_EQ(Lines(FieldOfRecords(a_, log, QStringLiteral("MAILERNUM"))),
              NumberOf(first).toStdString());
    EXPECT_EQ(ReadAll(victim), kept);
    const Stat after = StatOf(victim);
    EXPECT_FALSE(after.link);
    EXPECT_EQ(after.owner, a_.uid);
    EXPECT_EQ(after.mode, 0644u);
    EXPECT_TRUE(StatOf(settings).link) << "the link is left for the office to see";
    QFile::remove(victim);
}

} // namespace
