#!/usr/bin/env python3
"""Builds a sample release repository for the launcher.

    make-sample-release.py OUT --launcher BUILD/bin/VelmoraGameLauncher.exe [options]

Writes, below OUT:
    GameDir/                                    the sample game as the package holds it
    www/raw/main/launcher/version.txt           "LAUNCHER;GAME;SIZE;INSTSIZE;HASH", no line end
    www/raw/main/launcher/changelog.txt
    www/raw/main/launcher/OSRELWIN/Launcher.zip (with --launcher-package)
    www/files/GAME/Client.zip                   what releases/download/GAME/Client.zip redirects to
Serve OUT/www with tools/release-server.sh. The package hash comes from the launcher's own -gethash
mode, run on a temporary copy so that its hash.txt lands nowhere else.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

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


def tree_size(root):
    total = 0
    for dirpath, _, files in os.walk(root):
        for name in files:
            total += os.path.getsize(os.path.join(dirpath, name))
    return total


def pack(source_dir, archive, stored):
    """Packs the content of source_dir (not the directory itself); 7zz keeps the Unix modes."""
    if os.path.exists(archive):
        os.remove(archive)
    os.makedirs(os.path.dirname(archive), exist_ok=True)
    level = "-mx=0" if stored else "-mx=5"
    subprocess.run(["7zz", "a", "-tzip", level, "-bd", "-bso0", "-bsp0", os.path.abspath(archive), "."],
                   cwd=source_dir, check=True)


def damage(archive, entry):
    """Flips bytes inside one entry's data: the archive still opens, the entry fails its CRC."""
    with zipfile.ZipFile(archive) as z:
        info = z.getinfo(entry)
    with open(archive, "r+b") as f:
        f.seek(info.header_offset + 26)
        name_len = int.from_bytes(f.read(2), "little")
        extra_len = int.from_bytes(f.read(2), "little")
        data_start = info.header_offset + 30 + name_len + extra_len
        f.seek(data_start + info.compress_size // 2)
        chunk = f.read(16)
        f.seek(data_start + info.compress_size // 2)
        f.write(bytes(b ^ 0x5A for b in chunk))


def launcher_hash(launcher, path, runner):
    """The package hash as the launcher itself computes it (-gethash writes hash.txt beside the exe), run
    through `runner` (Wine, for the Windows build) when given."""
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "VelmoraGameLauncher.exe")
        shutil.copy2(launcher, exe)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([*runner, exe, "-gethash", os.path.abspath(path)], env=env, check=True, timeout=600,
                       cwd=tmp, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(tmp, "hash.txt"), encoding="ascii") as f:
            digest = f.read()
    if len(digest) != 32 or any(c not in "0123456789abcdef" for c in digest):
        sys.exit(f"make-sample-release: {launcher} -gethash wrote {digest!r}, not an MD5")
    return digest


def gigabytes(size):
    """Decimal gigabytes, two decimals, never shown as zero."""
    return f"{max(size / 1e9, 0.01):.2f}"


def check_disk(directory, needed):
    free = shutil.disk_usage(directory).free
    if free < needed:
        print(f"make-sample-release: SKIP: {free / GIB:.1f} GiB free in {directory}, "
              f"{needed / GIB:.1f} GiB needed", file=sys.stderr)
        sys.exit(SKIP_EXIT_CODE)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out", help="output directory (serve OUT/www)")
    parser.add_argument("--launcher", required=True, help="launcher executable used for -gethash")
    parser.add_argument("--launcher-version", default="3", help="manifest field 0 (default 3)")
    parser.add_argument("--game-version", default="12", help="manifest field 1 and release name (default 12)")
    parser.add_argument("--launcher-package", help="launcher executable to publish as Launcher.zip")
    parser.add_argument("--changelog", help="change log text (default: a short sample)")
    parser.add_argument("--large-gib", type=float, default=0,
                        help="add a stored data file of this many GiB (benchmarks, >= 4 GiB tests)")
    parser.add_argument("--game-exe", help="a program to publish as the game's Velmora.exe instead of the script")
    parser.add_argument("--hash-runner", action="append", default=[],
                        help="a program that runs the launcher for -gethash (Wine); repeat for its arguments")
    parser.add_argument("--damaged", action="store_true",
                        help="corrupt one entry after packing (the manifest hash still matches the file)")
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
    package = os.path.join(www, "files", args.game_version, "Client.zip")
    pack(game_dir, package, stored=bool(args.large_gib))
    if args.damaged:
        damage(package, "data/levels/level1.dat")

    digest = launcher_hash(args.launcher, package, args.hash_runner)
    manifest = ";".join([args.launcher_version, args.game_version, gigabytes(os.path.getsize(package)),
                         gigabytes(tree_size(game_dir)), digest])
    with open(os.path.join(raw, "version.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(manifest)

    changelog = args.changelog or (f"Launcher {args.launcher_version}\n\n- Faster downloads\n"
                                   "- Clearer progress captions\n")
    with open(os.path.join(raw, "changelog.txt"), "w", encoding="utf-8") as f:
        f.write(changelog)

    if args.launcher_package:
        with tempfile.TemporaryDirectory() as tmp:
            shutil.copy2(args.launcher_package, os.path.join(tmp, "VelmoraGameLauncher.exe"))
            pack(tmp, os.path.join(raw, "OSRELWIN", "Launcher.zip"), stored=False)

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
