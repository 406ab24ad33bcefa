#include "app/command_arguments.h"

#include <algorithm>

namespace qm {
namespace {

// Qt's options of a window program, taken with one dash or two (QCoreApplication,
// QGuiApplication, QApplication and the X11 platform): those that take the next argument as
// their value, those that take it after "=", and those without one.
bool IsQtOption(const QString& name, bool& takesValue) {
    static const QStringList withValue =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry "
                       "qwindowtitle qwindowicon session style stylesheet qmljsdebugger display "
                       "name visual geometry title icon")
            .split(u' ');
    static const QStringList joined =
        QStringLiteral("style= stylesheet= qmljsdebugger=").split(u' ');
    static const QStringList flags =
        QStringLiteral("reverse widgetcount testability nograb dograb").split(u' ');
    takesValue = withValue.contains(name);
    return takesValue || flags.contains(name) ||
           std::any_of(joined.begin(), joined.end(), [&](const QString& j) {
               return name.startsWith(j) && name.size() > j.size();
           });
}

} // namespace

ArgumentScan ScanArguments(const QStringList& args) {
    struct Option {
        QString name;
        QString value; // the value's name in the help; empty for an option without one
        bool command;
    };
    static const QList<Option> options = {
        {QStringLiteral("folder"), QStringLiteral("DIR"), false},
        {QStringLiteral("firm-mailing-book"), {}, true},
        {QStringLiteral("export-log"), QStringLiteral("FILE"), true},
        {QStringLiteral("report"), QStringLiteral("full|short"), true},
        {QStringLiteral("order"), QStringLiteral("ORDER"), true},
        {QStringLiteral("from"), QStringLiteral("YYYY-MM-DD"), true},
        {QStringLiteral("to"), QStringLiteral("YYYY-MM-DD"), true},
        {QStringLiteral("pdf"), QStringLiteral("FILE"), true},
        {QStringLiteral("help"), {}, true}};
    ArgumentScan scan;
    scan.ours << args.value(0);
    auto mistake = [&](const QString& text) {
        scan.mistake = text;
        return scan;
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(u'-'))
            return mistake(QStringLiteral("Unexpected argument %1").arg(arg));
        if (arg == u"-h") {
            scan.ours << arg;
            scan.command = true;
            continue;
        }
        const bool twoDashes = arg.startsWith(QStringLiteral("--"));
        const QString body = arg.mid(twoDashes ? 2 : 1);
        const QString name = body.section(u'=', 0, 0);
        const auto ours = std::find_if(options.begin(), options.end(), [&](const Option& o) {
            return twoDashes && o.name == name;
        });
        bool qtValue = false;
        if (ours != options.end()) {
            scan.ours << arg;
            scan.command = scan.command || ours->command;
            if (ours->value.isEmpty() || body.contains(u'=')) continue;
            if (i + 1 >= args.size())
                return mistake(QStringLiteral("%1 needs its value: %1 %2").arg(arg, ours->value));
            scan.ours << args[++i];
        } else if (IsQtOption(body, qtValue)) {
            if (qtValue && ++i >= args.size())
                return mistake(QStringLiteral("%1 needs its value").arg(arg));
        } else {
            return mistake(QStringLiteral("Unknown option %1").arg(arg));
        }
    }
    return scan;
}

} // namespace qm
