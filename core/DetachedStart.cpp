#include "core/DetachedStart.h"

#include <QProcess>
#include <QStringList>

bool startQuotedDetached(const QString &path)
{
    // What Qt's single-string startDetached does (deprecated in 5.15): split the command line, where
    // the quotes keep a path with spaces together, and start its first word with the rest as arguments.
    QStringList words = QProcess::splitCommand(QLatin1Char('"') + path + QLatin1Char('"'));
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}
