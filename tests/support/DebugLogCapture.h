#pragma once

#include <QMutex>
#include <QStringList>

// Records every debug line written by any thread once installed, and passes each line on to the handler
// installed before it. Install it from a test function: QTest installs its own handler when the run starts.
class DebugLogCapture
{
public:
    ~DebugLogCapture()
    {
        if (s_previous)
            qInstallMessageHandler(s_previous);
    }

    void install() { s_previous = qInstallMessageHandler(capture); }
    QStringList lines() const
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }
    void clear()
    {
        QMutexLocker lock(&s_mutex);
        s_lines.clear();
    }

    // True when `expected` occurs as consecutive lines of the log.
    bool containsRun(const QStringList &expected) const
    {
        return ('\n' + lines().join('\n') + '\n').contains('\n' + expected.join('\n') + '\n');
    }

private:
    static void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        {
            QMutexLocker lock(&s_mutex);
            s_lines.append(message);
        }
        if (s_previous)
            s_previous(type, context, message);
    }

    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};
