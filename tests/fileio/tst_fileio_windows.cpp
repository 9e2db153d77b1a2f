// The file access layer over kernel32, on real files in a temporary directory: what Windows alone has
// (long-path prefixes, attributes, names compared without case, named streams) and its own error numbers.

#include "fileio/FileSystemOps.h"
#include "tests/support/TestFiles.h"
#include "tests/support/Wine.h"

#include <QtTest>

#include <windows.h>

class TestFileIoWindows : public QObject
{
    Q_OBJECT

    // The path of `relative` in the temporary directory, with backslashes, as the engine gives them.
    WideString pathOf(const QString &relative) const
    {
        return toWideString(QDir::toNativeSeparators(dir.filePath(relative)));
    }
    QTemporaryDir dir;
    CDiskFile writer; // holds "written" open, as another writer would

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid() && QDir(dir.path()).mkdir("folder"));
        QVERIFY(TestFiles::write(dir.filePath("file"), "content"));
        UInt32 written = 0;
        QVERIFY(writer.OpenForWrite(pathOf("written"), CDiskFile::Disposition::CreateNew) &&
                writer.WriteAll("content", 7, written));
    }

    void failuresReportWindowsErrorNumbers_data()
    {
        QTest::addColumn<QString>("call"); // an operation, a space, a path in the temporary directory
        QTest::addColumn<UInt32>("error");
        QTest::newRow("read missing") << "read missing" << kErrorFileNotFound;
        QTest::newRow("read below a missing folder") << "read nowhere\\x" << kErrorPathNotFound;
        QTest::newRow("read a directory") << "read folder" << kErrorAccessDenied;
        QTest::newRow("create new over a file") << "createNew file" << kErrorFileExists;
        QTest::newRow("second writer") << "create written" << kErrorSharingViolation;
        QTest::newRow("delete missing") << "delete missing" << kErrorFileNotFound;
        QTest::newRow("delete a directory") << "delete folder" << kErrorAccessDenied;
        QTest::newRow("directory below a file") << "mkdir file\\sub" << kErrorAlreadyExists;
        QTest::newRow("find missing") << "find missing" << kErrorFileNotFound;
    }

    void failuresReportWindowsErrorNumbers()
    {
        QFETCH(QString, call);
        const QString operation = call.section(' ', 0, 0);
        const WideString path = pathOf(call.section(' ', 1));
        CDiskFile file;
        CFoundEntry entry;
        SetLastErrorNumber(0);
        const bool done =
            operation == "read"        ? file.OpenForRead(path)
            : operation == "create"    ? file.OpenForWrite(path, CDiskFile::Disposition::CreateAlways)
            : operation == "createNew" ? file.OpenForWrite(path, CDiskFile::Disposition::CreateNew)
            : operation == "delete"    ? ForceDeleteFile(path)
            : operation == "mkdir"     ? CreateDirectoryChain(path)
                                       : FindEntry(path, entry);
        QVERIFY(!done);
        QTEST(GetLastErrorNumber(), "error");
        for (const char *name : {"file", "written"})
            QCOMPARE(TestFiles::read(dir.filePath(name)), QByteArray("content"));
    }

    void longPathsBackslashesAndCase()
    {
        // Beyond the 260-character limit with the long-path prefix, which every operation passes on as it is.
        WideString deep = toWideString("\\\\?\\" + QDir::toNativeSeparators(dir.path()));
        for (int level = 0; level < 30; ++level)
            deep += L"\\0123456789";
        QVERIFY(deep.length() > 300);
        QVERIFY(CreateDirectoryChain(deep));
        CDiskFile file;
        UInt32 written = 0;
        QVERIFY(file.OpenForWrite(deep + WideString(L"\\f.txt"), CDiskFile::Disposition::CreateNew) &&
                file.WriteAll("deep", 4, written) && file.Close());
        CFoundEntry entry;
        QVERIFY(FindEntry(deep + WideString(L"\\f.txt"), entry) && entry.size == 4 && !entry.isDir());
        QVERIFY(FindEntry(deep.left(7), entry) && entry.isDir()); // "\\?\C:\" is a drive root
        // Mixed separators, and names found whatever their case, reported as stored.
        QVERIFY(CreateDirectoryChain(pathOf("a\\b/c\\")) && QFileInfo(dir.filePath("a/b/c")).isDir());
        QVERIFY(FindEntry(pathOf("FOLDER"), entry) && entry.isDir() && entry.name == WideString(L"folder"));
        QVERIFY(EqualsNoCase(toWideString(QString::fromUtf8("\xc3\x84rger")), toWideString("\xc3\xa4RGER")));
    }

    void timesAndAttributes()
    {
        const WideString path = pathOf("stamped.txt");
        CDiskFile file;
        QVERIFY(file.OpenForWrite(path, CDiskFile::Disposition::CreateNew));
        const UInt64 ticks = (1577836800ull + 11644473600ull) * 10000000ull; // 2020-01-01 00:00:00 UTC
        QVERIFY(file.SetModificationTime(FILETIME{DWORD(ticks), DWORD(ticks >> 32)}) && file.Close());
        CFoundEntry entry;
        QVERIFY(FindEntry(path, entry));
        QCOMPARE(UInt64(entry.writeTime.dwHighDateTime) << 32 | entry.writeTime.dwLowDateTime, ticks);
        // An archive's attributes apply as they are; a value with a Unix mode keeps its low 14 bits.
        const auto shown = [&] {
            return UInt32(GetFileAttributesW(path.data())) & (kAttributeReadOnly | kAttributeHidden);
        };
        QVERIFY(ApplyFileAttributes(path, kAttributeReadOnly | kAttributeHidden));
        QCOMPARE(shown(), kAttributeReadOnly | kAttributeHidden);
        QVERIFY(ApplyFileAttributes(path, 0x81A48021u));
        QCOMPARE(shown(), kAttributeReadOnly);
        QVERIFY(ForceDeleteFile(path) && !QFile::exists(dir.filePath("stamped.txt")));
    }

    void namedStreams()
    {
        const WideString file = pathOf("file");
        const HANDLE stream = CreateFileW((file + WideString(L":extra")).data(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (stream == INVALID_HANDLE_VALUE)
            QSKIP(qPrintable(QStringLiteral("this file system keeps no named streams (error %1, %2)")
                                 .arg(GetLastError())
                                 .arg(wineVersion())));
        DWORD written = 0;
        QVERIFY(WriteFile(stream, "12345", 5, &written, nullptr) && CloseHandle(stream));
        CFoundEntry entry;
        if (!FindEntry(file + WideString(L":extra"), entry) && !wineVersion().isEmpty())
            QSKIP(qPrintable(QStringLiteral("FindFirstStreamW answers error %1 under %2: a stub")
                                 .arg(GetLastErrorNumber())
                                 .arg(wineVersion())));
        QVERIFY(entry.isAltStream && entry.size == 5 && entry.name == WideString(L"file:extra"));
        QVERIFY(!FindEntry(file + WideString(L":missing"), entry));
        QCOMPARE(GetLastErrorNumber(), kErrorFileNotFound);
    }
};

QTEST_GUILESS_MAIN(TestFileIoWindows)
#include "tst_fileio_windows.moc"
