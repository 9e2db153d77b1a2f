#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A program run to its end: its wall time, the processor time it used, its standard output (its
// standard error goes to ours).
struct ToolRun
{
    bool ok = false; // started, ended normally, exit status 0
    double wallSeconds = 0;
    double processorSeconds = 0;
    QByteArray output;
};

ToolRun runTool(const QString &program, const QStringList &arguments, const QString &workingDirectory = {});

// User + system processor time so far, in seconds, of this process (RUSAGE_SELF) or of its children that
// have ended and been waited for (RUSAGE_CHILDREN).
double processorSeconds(int who);
