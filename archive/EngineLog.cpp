#include "archive/EngineLog.h"

#include "fileio/FileSystemOps.h"

#include <QDebug>

void LogError(const char *message)
{
    qDebug() << "Error: ";
    qDebug() << "";
    qDebug() << message;
    qDebug() << "";
}

void LogPathLine(const WideString &path)
{
    NarrowString text;
    ToOemText(path, text);
    qDebug() << text.data();
}

void LogReasonLine(const std::string &reason)
{
    qDebug() << reason.c_str();
}
