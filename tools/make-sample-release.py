#!/usr/bin/env python3
"""Builds a sample release repository for the launcher.

    make-sample-release.py OUT --launcher BUILD/bin/VelmoraGameLauncher.exe [options]

Writes the sample game to OUT/GameDir and has the publisher's release tool (velmora-release, beside the
launcher or in build/bin) make the release tree from it in OUT/www:
    www/raw/main/launcher/version.txt           "LAUNCHER;GAME;SIZE;INSTSIZE;HASH", no line end
    www/raw/main/launcher/version.txt.sig       with --key
    www/raw/main/launcher/changelog.txt
    www/raw/main/launcher/OSRELWIN/Launcher.zip (with --launcher-package)
    www/files/GAME/Client.zip                   what releases/download/GAME/Client.zip redirects to
Serve OUT/www with tools/release-server.sh.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GIB = 1 << 30
SKIP_EXIT_CODE = 77  # CTest's SKIP_RETURN_CODE convention: not enough disk for a large package

GAME_SCRIPT = """#!/bin/sh
# Velmora sample game {version}: records that it ran, beside the game directory.
here=$(cd "$(dirname "$0")" && pwd)
echo "Velmora sample game {version} ran" >"$here/../game-ran.marker"
"""


def write_file(path, data, mode):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)


def level_data(seed, size):
    """Deterministic, poorly compressible bytes (a linear congruential sequence)."""
    out = bytearray(size)
    x = seed
    for i in range(size):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out[i] = x >> 16 & 0xFF
    return bytes(out)


def build_game_tree(game_dir, version, large_gib, game_exe):
    """The sample game: an executable, nested directories, a read-only file, an empty directory."""
    if os.path.exists(game_dir):
        shutil.rmtree(game_dir)
    if game_exe:
        os.makedirs(game_dir)
        shutil.copy2(game_exe, os.path.join(game_dir, "Velmora.exe"))
    else:
        write_file(os.path.join(game_dir, "Velmora.exe"), GAME_SCRIPT.format(version=version).encode(), 0o755)
    write_file(os.path.join(game_dir, "game.ini"), f"[game]\nversion={version}\n".encode(), 0o644)
    write_file(os.path.join(game_dir, "bin", "helper.sh"), b"#!/bin/sh\necho helper\n", 0o755)
    write_file(os.path.join(game_dir, "data", "levels", "level1.dat"), level_data(int(version) + 1, 96 * 1024), 0o644)
    write_file(os.path.join(game_dir, "data", "levels", "level2.dat"), b"\0" * 200000, 0o644)
    write_file(os.path.join(game_dir, "data", "readme.txt"), b"Sample data, read-only on purpose.\n", 0o444)
    write_file(os.path.join(game_dir, "data", f"release-{version}.txt"), f"release {version}\n".encode(), 0o644)
    os.makedirs(os.path.join(game_dir, "saves"), exist_ok=True)
    if large_gib:
        # A sparse file: instant to create and to read, stored as is in the package.
        with open(os.path.join(game_dir, "data", "large.pak"), "wb") as f:
            f.truncate(int(large_gib * GIB))


def release_tool(launcher):
    """The release tool of the launcher's build, else of the Linux build (for the Windows launcher)."""
    beside = os.path.join(os.path.dirname(os.path.abspath(launcher)), "velmora-release")
    return beside if os.path.exists(beside) else os.path.join(ROOT, "build", "bin", "velmora-release")


def check_disk(directory, needed):
    free = shutil.disk_usage(directory).free
    if free < needed:
        print(f"make-sample-release: SKIP: {free / GIB:.1f} GiB free in {directory}, "
              f"{needed / GIB:.1f} GiB needed", file=sys.stderr)
        sys.exit(SKIP_EXIT_CODE)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out", help="output directory (serve OUT/www)")
    parser.add_argument("--launcher", required=True, help="the launcher build whose release tool is used")
    parser.add_argument("--launcher-version", default="3", help="manifest field 0 (default 3)")
    parser.add_argument("--game-version", default="12", help="manifest field 1 and release name (default 12)")
    parser.add_argument("--launcher-package", help="launcher executable to publish as Launcher.zip")
    parser.add_argument("--changelog", help="change log text (default: a short sample)")
    parser.add_argument("--large-gib", type=float, default=0,
                        help="add a stored data file of this many GiB (benchmarks, >= 4 GiB tests)")
    parser.add_argument("--game-exe", help="a program to publish as the game's Velmora.exe instead of the script")
    parser.add_argument("--key", default=os.path.join(ROOT, "build-key", "release.key"),
                        help="the publisher's secret key file that signs the release (default: the one ./velmora "
                             "makes, if there is one)")
    args = parser.parse_args()

    out = os.path.abspath(args.out)
    www = os.path.join(out, "www")
    raw = os.path.join(www, "raw", "main", "launcher")
    os.makedirs(raw, exist_ok=True)
    if args.large_gib:
        # The package, plus the download and the installed copy when a test runs it here.
        check_disk(out, int(args.large_gib * GIB * 3) + GIB)

    game_dir = os.path.join(out, "GameDir")
    build_game_tree(game_dir, args.game_version, args.large_gib, args.game_exe)
    changelog = os.path.join(out, "changelog.txt")
    with open(changelog, "w", encoding="utf-8") as f:
        f.write(args.changelog or (f"Launcher {args.launcher_version}\n\n- Faster downloads\n"
                                   "- Clearer progress captions\n"))
    command = [release_tool(args.launcher), "make", www, "--game", game_dir, "--game-version", args.game_version,
               "--launcher-version", args.launcher_version, "--changelog", changelog]
    if args.large_gib:
        command.append("--stored")
    if os.path.exists(args.key):
        command += ["--key", args.key]
    with tempfile.TemporaryDirectory() as tmp:
        if args.launcher_package:
            shutil.copy2(args.launcher_package, os.path.join(tmp, "VelmoraGameLauncher.exe"))
            command += ["--launcher", tmp]
        subprocess.run(command, check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    with open(os.path.join(raw, "version.txt"), encoding="utf-8") as f:
        manifest = f.read()

    # nginx workers run unprivileged: everything served must be readable by others.
    for dirpath, dirs, files in os.walk(out):
        for name in dirs:
            os.chmod(os.path.join(dirpath, name), 0o755)
    for dirpath, _, files in os.walk(www):
        for name in files:
            os.chmod(os.path.join(dirpath, name), 0o644)
    os.chmod(out, 0o755)
    print(f"make-sample-release: {www} ({manifest})")


if __name__ == "__main__":
    main()
