#include "bench/support/ToolRun.h"

#include <QElapsedTimer>
#include <QProcess>

#include <sys/resource.h>

ToolRun runTool(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    ToolRun run;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setWorkingDirectory(workingDirectory);
    const double processorBefore = processorSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    const bool finished = process.waitForFinished(-1);
    run.wallSeconds = double(timer.nsecsElapsed()) / 1e9;
    run.processorSeconds = processorSeconds(RUSAGE_CHILDREN) - processorBefore;
    run.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    run.output = process.readAllStandardOutput();
    return run;
}

double processorSeconds(int who)
{
    struct rusage usage;
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
