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

ArgumentScan ScanArguments(const QStringList& args, const QList<QCommandLineOption>& commands,
                           const QList<QCommandLineOption>& window) {
    ArgumentScan scan;
    scan.ours << args.value(0);
    auto mistake = [&](const QString& text) {
        scan.mistake = text;
        return scan;
    };
    // Long names take two dashes, one-letter names one (-h).
    const auto takes = [](const QCommandLineOption& o, const QString& name, bool twoDashes) {
        return o.names().contains(name) && (name.size() == 1) != twoDashes;
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(u'-'))
            return mistake(QStringLiteral("Unexpected argument %1").arg(arg));
        const bool twoDashes = arg.startsWith(QStringLiteral("--"));
        const QString body = arg.mid(twoDashes ? 2 : 1);
        const QString name = body.section(u'=', 0, 0);
        const auto isOurs = [&](const QCommandLineOption& o) { return takes(o, name, twoDashes); };
        const auto command = std::find_if(commands.begin(), commands.end(), isOurs);
        const auto windows = std::find_if(window.begin(), window.end(), isOurs);
        const QCommandLineOption* ours = command != commands.end() ? &*command
                                         : windows != window.end() ? &*windows
                                                                   : nullptr;
        bool qtValue = false;
        if (ours) {
            scan.ours << arg;
            scan.command = scan.command || command != commands.end();
            if (ours->valueName().isEmpty() || body.contains(u'=')) continue;
            if (i + 1 >= args.size())
                return mistake(
                    QStringLiteral("%1 needs its value: %1 %2").arg(arg, ours->valueName()));
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
