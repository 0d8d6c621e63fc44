#include "tools/runrom/RunOptions.h"

namespace RunRom {

char const kUsage[] = "usage: runrom [--module FILE.so] [--frames N] [--png FILE] [--press FRAME:KEY[:FRAMES]]... "
                      "[--sound] [--home DIR] IMAGE...\n";

namespace {

// A whole decimal number of at least `minimum`.
bool ReadNumber(QString const &text, int minimum, int &value)
{
    bool ok = false;
    int const number = text.toInt(&ok, 10);
    if (!ok || number < minimum)
        return false;
    value = number;
    return true;
}

bool ReadPress(QString const &text, KeyPress &press)
{
    QStringList const parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3 || parts[1].isEmpty())
        return false;
    press.key = parts[1];
    return ReadNumber(parts[0], 0, press.frame) && (parts.size() == 2 || ReadNumber(parts[2], 1, press.frames));
}

} // namespace

bool ParseOptions(QStringList const &arguments, RunOptions &options, QString &error)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString const &argument = arguments[i];
        bool const takesValue = argument == QLatin1String("--module") || argument == QLatin1String("--frames") ||
                                argument == QLatin1String("--png") || argument == QLatin1String("--press") ||
                                argument == QLatin1String("--home");
        if (takesValue && i + 1 >= arguments.size()) {
            error = argument + QLatin1String(" needs a value");
            return false;
        }
        if (argument == QLatin1String("--module")) {
            options.module = arguments[++i];
        } else if (argument == QLatin1String("--frames")) {
            if (!ReadNumber(arguments[++i], 1, options.frames)) {
                error = QLatin1String("--frames needs a number of at least 1, not ") + arguments[i];
                return false;
            }
        } else if (argument == QLatin1String("--png")) {
            options.png = arguments[++i];
        } else if (argument == QLatin1String("--press")) {
            KeyPress press;
            if (!ReadPress(arguments[++i], press)) {
                error = QLatin1String("--press needs FRAME:KEY[:FRAMES], not ") + arguments[i];
                return false;
            }
            options.presses.push_back(press);
        } else if (argument == QLatin1String("--sound")) {
            options.sound = true;
        } else if (argument == QLatin1String("--home")) {
            options.home = arguments[++i];
        } else if (argument.startsWith(QLatin1String("--"))) {
            error = QLatin1String("unknown option ") + argument;
            return false;
        } else {
            options.images.append(argument);
        }
    }
    if (options.images.isEmpty()) {
        error = QLatin1String("no image given");
        return false;
    }
    return true;
}

} // namespace RunRom
