#pragma once
// A CUPS scheduler of the test's own with one PDF queue on a private socket, so a test needs
// neither a configured system nor the system's scheduler. Tests skip when it cannot run here
// (Problem() says why). The PDF back end writes the jobs into OutputFolder().
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace qm::test {

inline const QString kCupsd = QStringLiteral("/usr/sbin/cupsd");
inline const QString kLpadmin = QStringLiteral("/usr/sbin/lpadmin");
inline const QString kBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
inline const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

inline bool WriteText(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) >= 0;
}

// A scheduler of our own, stopped when the object goes. `Problem()` says why it is not
// usable; empty when the queue is ready.
class PrivateCups {
public:
    // `queue` becomes the scheduler's default destination; `options` go to lpadmin (for
    // instance {"-o", "PageSize=A4"}).
    explicit PrivateCups(const QString& queue, const QStringList& options = {}) {
        if (geteuid() != 0) {
            problem_ = "the PDF back end runs only under a scheduler started as root";
            return;
        }
        for (const QString& f : {kCupsd, kLpadmin, kBackend, kPpd})
            if (!QFileInfo::exists(f)) {
                problem_ = (f + " is not installed (tools/setup deps installs it)").toStdString();
                return;
            }
        if (!dir_.isValid()) {
            problem_ = "no temporary folder";
            return;
        }
        // The scheduler's filters run as another user: the folders must be open to it.
        const QString root = dir_.path();
        QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther);
        for (const char* sub : {"etc", "spool", "cache", "state", "tmp", "log"})
            QDir(root).mkdir(QString::fromLatin1(sub));
        QFile::setPermissions(root + "/tmp", QFileDevice::Permissions(0x7777));
        socket_ = root + "/cups.sock";
        WriteText(root + "/etc/cupsd.conf", "Listen " + socket_ +
                                                "\nLogLevel warn\nWebInterface No\n"
                                                "Browsing Off\n<Location />\n  Order allow,deny\n"
                                                "  Allow all\n</Location>\n");
        WriteText(root + "/etc/cups-files.conf",
                  "ServerRoot " + root + "/etc\nRequestRoot " + root + "/spool\nCacheDir " + root +
                      "/cache\nStateDir " + root + "/state\nTempDir " + root + "/tmp\nErrorLog " +
                      root + "/log/error_log\nAccessLog " + root + "/log/access_log\nPageLog " +
                      root + "/log/page_log\n");
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.start(kCupsd,
                     {"-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"});
        if (!cupsd_.waitForStarted(5000)) {
            problem_ = "cupsd does not start: " + cupsd_.errorString().toStdString();
            return;
        }
        QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(socket_) && !deadline.hasExpired() &&
               cupsd_.state() == QProcess::Running)
            QThread::msleep(50);
        if (!QFileInfo::exists(socket_)) {
            cupsd_.waitForFinished(100);
            problem_ = "cupsd does not listen: " + cupsd_.readAll().toStdString() +
                       ErrorLog().toStdString();
            return;
        }
        QProcess lpadmin;
        lpadmin.setProcessChannelMode(QProcess::MergedChannels);
        lpadmin.start(kLpadmin, QStringList{"-h", socket_, "-p", queue, "-v", "cups-pdf:/", "-E",
                                            "-P", kPpd} +
                                    options);
        lpadmin.waitForFinished(20000);
        if (lpadmin.exitStatus() != QProcess::NormalExit || lpadmin.exitCode() != 0) {
            problem_ = "lpadmin cannot add the PDF queue: " + lpadmin.readAll().toStdString();
            return;
        }
        lpadmin.start(kLpadmin, {"-h", socket_, "-d", queue});
        lpadmin.waitForFinished(20000);
        if (lpadmin.exitStatus() != QProcess::NormalExit || lpadmin.exitCode() != 0) {
            problem_ =
                "lpadmin cannot make the PDF queue the default: " + lpadmin.readAll().toStdString();
            return;
        }
        // libcups (and with it Qt's printer support) asks this scheduler from now on.
        qputenv("CUPS_SERVER", socket_.toLocal8Bit());
    }
    ~PrivateCups() {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(5000)) {
                cupsd_.kill();
                cupsd_.waitForFinished(5000);
            }
        }
    }
    const std::string& Problem() const { return problem_; }
    QString ErrorLog() const {
        QFile f(dir_.path() + "/log/error_log");
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

private:
    QTemporaryDir dir_;
    QString socket_;
    QProcess cupsd_;
    std::string problem_;
};

// Where the PDF back end puts the files of the user who prints (this process's by default).
inline QString OutputFolder(uid_t user = geteuid()) {
    const passwd* pw = getpwuid(user);
    return QString::fromLocal8Bit(pw ? pw->pw_dir : "/root") + "/PDF";
}

// The back end writes the file in steps: it is whole once it ends with the PDF end mark and
// stops growing.
inline bool WrittenWhole(const QString& pdf) {
    const auto tail = [&pdf] {
        QFile f(pdf);
        if (!f.open(QIODevice::ReadOnly) || f.size() < 16) return QByteArray();
        f.seek(std::max<qint64>(0, f.size() - 1024));
        return f.readAll();
    };
    const QByteArray before = tail();
    if (!before.contains("%%EOF")) return false;
    QThread::msleep(300);
    return tail() == before;
}

} // namespace qm::test
