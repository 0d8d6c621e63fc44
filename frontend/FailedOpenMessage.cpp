#include "frontend/FailedOpenMessage.h"

#include <iterator>

namespace {

constexpr char16_t kEllipsis = u'\u2026';
constexpr char16_t kBreakOpportunity = u'\u200B'; // a zero-width space

// A reason longer than this is cut: the box must fit on the screen, and the
// Console behind it holds the whole text.
constexpr int kLongestReason = 300;
// Runs of characters without a space (a long path) are given a place to
// wrap every so many characters.
constexpr int kLongestRun = 40;

// The consoles' short progress words, which end the Console's
// "Opening <file>..." line, in the user's words.
struct ProgressWord {
    char const *word;
    char const *words;
};
ProgressWord const kProgressWords[] = {
    {"NOT FOUND", "the file does not exist"},
    {"FAILED TO FIND FIRST FILE", "the zip archive holds no file"},
    {"FAILED TO OPEN FIRST FILE", "the game in the zip archive cannot be opened"},
    {"CORRUPTED FILE", "the file is damaged"},
    {"INVALID IMAGE", "the file is not a game image for this console"},
    {"FAILED", "the image is cut short or damaged"},
};

// The reason as the end of a sentence: without the full stop it may carry,
// its first word in lower case unless it is an abbreviation ("ROM").
QString AsClause(QString reason)
{
    while (reason.endsWith(u'.') || reason.endsWith(u'!'))
        reason.chop(1);
    reason = reason.trimmed();
    if (reason.isEmpty())
        return reason;
    if (reason.toUpper() == reason) {
        for (ProgressWord const &progress : kProgressWords) {
            if (reason == QLatin1String(progress.word))
                return QString::fromUtf8(progress.words);
        }
        return reason.toLower();
    }
    if (reason.size() < 2 || !reason[1].isUpper())
        reason[0] = reason[0].toLower();
    return reason;
}

// At most kLongestReason characters, each run of kLongestRun characters
// without a space followed by a place to wrap.
QString Bounded(QString const &clause)
{
    QString const cut = clause.size() > kLongestReason ? clause.left(kLongestReason) + kEllipsis : clause;
    QString bounded;
    int run = 0;
    for (QChar const c : cut) {
        bounded += c;
        run = c.isSpace() ? 0 : run + 1;
        if (run == kLongestRun) {
            bounded += kBreakOpportunity;
            run = 0;
        }
    }
    return bounded;
}

} // namespace

QString FailedOpenMessage(QString const &reason)
{
    QString const clause = Bounded(AsClause(reason.simplified()));
    if (clause.isEmpty())
        return QStringLiteral("Quintar was unable to open the file.  Most often this is due to insufficient memory.  "
                              "The console will now be displayed.");
    return QStringLiteral("Quintar was unable to open the file: %1.  The console will now be displayed.").arg(clause);
}
