#pragma once

#include "pipeline/PackagePipeline.h"

// The launcher self-update pipeline: downloads the launcher package, unpacks it into TEMP/LauncherUpdate,
// starts the new launcher there and ends this one; the new one finishes the update (the hand-over). One
// object per attempt, released when its run is over.
class LauncherDownloader : public PackagePipeline
{
    Q_OBJECT

public:
    explicit LauncherDownloader(QObject *parent = nullptr);

protected:
    void prepareDirectories() override;
    std::optional<QString> publishedHash() override;
    QString signedSha256() override;
    void afterExtraction() override;
};
