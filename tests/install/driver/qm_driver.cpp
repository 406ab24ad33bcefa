// A Qt plugin that drives the installed program from inside, as a user would: it is loaded
// into the unchanged installed binary through Qt's generic plugin mechanism
// (QT_PLUGIN_PATH, QT_QPA_GENERIC_PLUGINS=qmdriver), finds windows and controls by their
// object names and clicks them.
//   QM_DRIVE=quit   answer every window with Cancel (a window without one: its first
//                   button), then close the main window
//   QM_DRIVE=print  fill the addressee, press Print, answer each window with OK, then close
// Every window answered is written to QM_DRIVE_LOG, one line each:
//   "<kind>|<object name>|<title>|<text>" with kind "critical", "warning", "question",
//   "information" or "dialog"; "help|<first words>" of the help window that Help, Content
//   opens; "printed|<0 or 1>" after a print; "closed".
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

namespace {

QString Kind(QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return QStringLiteral("dialog");
    switch (box->icon()) {
    case QMessageBox::Critical: return QStringLiteral("critical");
    case QMessageBox::Warning: return QStringLiteral("warning");
    case QMessageBox::Question: return QStringLiteral("question");
    default: return QStringLiteral("information");
    }
}

class Driver : public QObject {
public:
    Driver() : print_(qEnvironmentVariable("QM_DRIVE") == QLatin1String("print")) {
        log_.setFileName(qEnvironmentVariable("QM_DRIVE_LOG"));
        if (!log_.fileName().isEmpty()) log_.open(QIODevice::WriteOnly | QIODevice::Append);
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(50);
        clock_.start();
    }

private:
    void Log(const QString& line) {
        if (!log_.isOpen()) return;
        log_.write(line.toUtf8() + '\n');
        log_.flush();
    }

    void Answer(QWidget* w, bool log) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (log)
            Log(Kind(w) + u'|' + w->objectName() + u'|' + w->windowTitle() + u'|' +
                (box ? box->text().replace(u'\n', u' ') : QString()));
        if (!log) {
            // A window that Cancel or OK did not close (one that closes by its own buttons
            // only): its first button.
            for (auto* b : w->findChildren<QAbstractButton*>())
                if (b->isVisible()) return b->click();
        }
        if (!print_) {
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            return;
        }
        if (box) {
            for (auto button : {QMessageBox::Ok, QMessageBox::Yes})
                if (QAbstractButton* b = box->button(button)) return b->click();
            return box->reject();
        }
        if (auto* ok = w->findChild<QPushButton*>(QStringLiteral("btnOK"))) return ok->click();
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    }

    // Answers a window once; a window still there a while after its answer (one answered
    // before its event loop ran) is answered again, without a second line in the log.
    void AnswerOnce(QWidget* modal) {
        if (!modal->isVisible()) return;
        const QVariant driven = modal->property("qm_driven_at");
        if (!driven.isValid()) {
            modal->setProperty("qm_driven_at", clock_.elapsed());
            Answer(modal, true);
        } else if (clock_.elapsed() - driven.toLongLong() > 500) {
            modal->setProperty("qm_driven_at", clock_.elapsed());
            Answer(modal, false);
        }
    }

    QWidget* MainWindow() const {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("F_Main") && w->isVisible()) return w;
        return nullptr;
    }

    template <class T> T* Child(QWidget* w, const char* name) {
        return w->findChild<T*>(QString::fromLatin1(name));
    }

    void Poll() {
        if (busy_) return; // a click below runs modal loops that call Poll again
        if (QWidget* modal = QApplication::activeModalWidget()) {
            AnswerOnce(modal);
            idleSince_ = -1;
            return;
        }
        QWidget* main = MainWindow();
        if (!main) return;
        // The start-up windows open one after another from the first showing: wait until
        // none has come for a while.
        if (idleSince_ < 0) idleSince_ = clock_.elapsed();
        if (clock_.elapsed() - idleSince_ < 1500) return;
        busy_ = true;
        timer_.stop();
        Help(main);
        if (print_) Print(main);
        Log(QStringLiteral("closed"));
        main->close();
    }

    // Help, Content: the help file the program found, by its first words.
    void Help(QWidget* main) {
        if (auto* content = Child<QAction>(main, "Content1")) content->trigger();
        QApplication::processEvents();
        for (auto* browser : main->findChildren<QTextBrowser*>())
            if (browser->isVisible())
                Log(QStringLiteral("help|") + browser->toPlainText().simplified().left(40));
    }

    void Print(QWidget* main) {
        Child<QPlainTextEdit>(main, "memoAddress")
            ->setPlainText(QStringLiteral("John Smith\n12 Main St"));
        Child<QLineEdit>(main, "editCity")->setText(QStringLiteral("Springfield"));
        Child<QLineEdit>(main, "editState")->setText(QStringLiteral("IL"));
        Child<QLineEdit>(main, "editZip")->setText(QStringLiteral("62701"));
        auto* print = Child<QPushButton>(main, "btnPrint");
        // The print's own windows come while click() runs: answer them from a second timer.
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) AnswerOnce(modal);
        });
        answer.start(50);
        print->click();
        answer.stop();
        Log(QStringLiteral("printed|%1").arg(print->isEnabled() ? 0 : 1));
    }

    const bool print_;
    QFile log_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 idleSince_ = -1;
    bool busy_ = false;
};

} // namespace

class QmDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "qm_driver.json")
public:
    QObject* create(const QString& key, const QString&) override {
        return key.compare(QLatin1String("qmdriver"), Qt::CaseInsensitive) == 0 ? new Driver
                                                                                : nullptr;
    }
};

#include "qm_driver.moc"
