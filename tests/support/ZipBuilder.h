#pragma once

#include <QByteArray>
#include <QDataStream>

#include <zlib.h>

// A zip archive of stored items, made on Unix, built in memory with every name kept byte for byte: the
// tests' packages, and the hostile names and exact layouts a damaged package needs, which no archiver
// writes.
class ZipBuilder
{
public:
    // `mode` is the item's Unix mode (file type included); a name ending in '/' is a directory.
    ZipBuilder &add(const QByteArray &name, const QByteArray &data, quint32 mode = 0100644)
    {
        const quint32 crc = crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
        const quint32 offset = quint32(local.size());
        for (QByteArray *part : {&local, &central}) {
            QDataStream out(part, QIODevice::Append);
            out.setByteOrder(QDataStream::LittleEndian);
            if (part == &local)
                out << quint32(0x04034b50) << quint16(20);
            else
                out << quint32(0x02014b50) << quint16(0x0314) << quint16(20);
            // Flags (UTF-8 names), method (stored), 2001-02-03 04:05:06, CRC, sizes, name length, no extra.
            out << quint16(0x0800) << quint16(0) << quint16((4 << 11) | (5 << 5) | 3)
                << quint16((21 << 9) | (2 << 5) | 3) << crc << quint32(data.size()) << quint32(data.size())
                << quint16(name.size()) << quint16(0);
            if (part == &central)
                out << quint16(0) << quint16(0) << quint16(0) << quint32(mode << 16) << offset;
            out.writeRawData(name.constData(), name.size());
        }
        local += data;
        ++count;
        return *this;
    }

    QByteArray bytes() const
    {
        QByteArray end;
        QDataStream out(&end, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << quint32(0x06054b50) << quint16(0) << quint16(0) << count << count << quint32(central.size())
            << quint32(local.size()) << quint16(0);
        return local + central + end;
    }

private:
    QByteArray local;
    QByteArray central;
    quint16 count = 0;
};
