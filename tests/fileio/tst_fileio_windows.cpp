// The file layer over kernel32 on real files: long-path prefixes, attributes, case, named streams.
#include "fileio/FileSystemOps.h"
#include "tests/support/TestFiles.h"

#include <QtTest>

#include <windows.h>

namespace {

// "Wine VERSION" under Wine, else empty: what Wine lacks is skipped there with its reason, never passed.
QString wineVersion()
{
    using Version = const char *(*)();
    const auto version = reinterpret_cast<Version>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return version ? QStringLiteral("Wine ") + QLatin1String(version()) : QString();
}

} // namespace

class TestFileIoWindows : public QObject
{
    Q_OBJECT

    // The path of `relative` in the temporary directory, with backslashes, as the engine gives them.
    WideString pathOf(const QString &relative) const
    {
        return toWideString(QDir::toNativeSeparators(dir.filePath(relative)));
    }
    QTemporaryDir dir;

private slots:
    void longPathsBackslashesAndCase()
    {
        // Beyond the 260-character limit with the long-path prefix, which every operation passes on as it is.
        const WideString deep = toWideString("\\\\?\\" + QDir::toNativeSeparators(dir.path()) +
                                             QString("\\0123456789").repeated(30));
        CDiskFile file;
        UInt32 written = 0;
        QVERIFY(CreateDirectoryChain(deep) &&
                file.OpenForWrite(deep + WideString(L"\\f.txt"), CDiskFile::Disposition::CreateNew) &&
                file.WriteAll("deep", 4, written) && file.Close());
        CFoundEntry entry;
        QVERIFY(FindEntry(deep + WideString(L"\\f.txt"), entry) && entry.size == 4 && !entry.isDir());
        QVERIFY(FindEntry(deep.left(7), entry) && entry.isDir()); // "\\?\C:\" is a drive root
        // Mixed separators, and names found whatever their case, reported as stored.
        QVERIFY(CreateDirectoryChain(pathOf("a\\b/c\\")) && QFileInfo(dir.filePath("a/b/c")).isDir());
        QVERIFY(FindEntry(pathOf("A\\B"), entry) && entry.isDir() && entry.name == WideString(L"b"));
        QVERIFY(EqualsNoCase(toWideString(QString::fromUtf8("\xc3\x84rger")), toWideString("\xc3\xa4RGER")));
    }

    void timesAttributesAndStreams()
    {
        const WideString path = pathOf("stamped.txt");
        CDiskFile file;
        const UInt64 ticks = (1577836800ull + 11644473600ull) * 10000000ull; // 2020-01-01 00:00:00 UTC
        QVERIFY(file.OpenForWrite(path, CDiskFile::Disposition::CreateNew) &&
                file.SetModificationTime(FILETIME{DWORD(ticks), DWORD(ticks >> 32)}) && file.Close());
        CFoundEntry entry;
        QVERIFY(FindEntry(path, entry));
        QCOMPARE(UInt64(entry.writeTime.dwHighDateTime) << 32 | entry.writeTime.dwLowDateTime, ticks);
        // An archive's attributes apply as they are; a value with a Unix mode keeps its low 14 bits.
        QVERIFY(ApplyFileAttributes(path, kAttributeReadOnly | kAttributeHidden));
        QCOMPARE(GetFileAttributesW(path.data()) & 3, DWORD(kAttributeReadOnly | kAttributeHidden));
        QVERIFY(ApplyFileAttributes(path, 0x81A48021u));
        QCOMPARE(GetFileAttributesW(path.data()) & 3, DWORD(kAttributeReadOnly));
        QVERIFY(ForceDeleteFile(path) && !QFile::exists(dir.filePath("stamped.txt")));
        // On NTFS, "file:extra" is a named stream of "file".
        QVERIFY(TestFiles::write(dir.filePath("file"), "") &&
                TestFiles::write(dir.filePath("file:extra"), "12345"));
        if (!FindEntry(pathOf("file:extra"), entry) && !wineVersion().isEmpty())
            QSKIP(
                qPrintable(QStringLiteral("named streams: FindFirstStreamW answers error %1 under %2, a stub")
                               .arg(GetLastErrorNumber())
                               .arg(wineVersion())));
        QVERIFY(entry.isAltStream && entry.size == 5 && entry.name == WideString(L"file:extra"));
        QVERIFY(!FindEntry(pathOf("file:missing"), entry) && GetLastErrorNumber() == kErrorFileNotFound);
    }
};

QTEST_GUILESS_MAIN(TestFileIoWindows)
#include "tst_fileio_windows.moc"
