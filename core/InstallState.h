#pragma once

#include <QString>

#include <optional>

// Whether the game is installed in appDir: GameDir/Velmora.exe exists and is a regular file.
[[nodiscard]] bool isGameInstalled(const QString &appDir);

// The installed game version recorded in appDir/c.ini: its whole text up to the first NUL, untrimmed;
// empty when the file cannot be opened; no value when there is no such file.
[[nodiscard]] std::optional<QString> readInstalledVersion(const QString &appDir);

// Records version as the installed game version in appDir/c.ini: the text alone, UTF-8, no line end,
// replacing the file as a whole. Returns the reason when it could not be written, else an empty string.
[[nodiscard]] QString writeInstalledVersion(const QString &appDir, const QString &version);
