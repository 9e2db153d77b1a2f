#pragma once

#include "pipeline/PackagePipeline.h"

// The game package pipeline: replaces GameDir with the latest release's package, checked against the
// manifest's MD5, and records the installed version. One object per attempt, released when its run is over.
class GameDownloader : public PackagePipeline
{
    Q_OBJECT

public:
    explicit GameDownloader(QObject *parent = nullptr);

protected:
    bool mayDownload() override;
    void prepareDirectories() override;
    std::optional<QString> publishedHash() override;
    QString signedSha256() override;
    void afterExtraction() override;
};
