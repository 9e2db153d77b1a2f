#pragma once

#include <QString>

#include <optional>

// The release manifest (version.txt): five fields separated by ";", each kept as the text it is.
struct ReleaseManifest
{
    QString launcherVersion; // the newest launcher's version
    QString gameVersion;     // the newest game release, also the package's release name
    QString packageSizeGb;   // the package's size in gigabytes, as decimal text
    QString installedSizeGb; // the installed game's size in gigabytes
    QString packageHash;     // the package's MD5, lowercase hexadecimal

    // A body of exactly five fields, untrimmed; anything else is no manifest.
    static std::optional<ReleaseManifest> parse(const QString &body);

    // Versions compare as integers (text that is not one counts as 0): a newer launcher than ownVersion is
    // offered before anything else; an installed game older than the release is offered "Update".
    bool offersLauncherUpdate(int ownVersion) const { return launcherVersion.toInt() > ownVersion; }
    bool offersGameUpdate(const QString &installedVersion) const
    {
        return gameVersion.toInt() > installedVersion.toInt();
    }
};
