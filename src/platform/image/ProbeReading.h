#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QtEndian>

#include <algorithm>

#include <unistd.h>

// Small reads the image probes share: a chunk or box walk reads headers from the file, never
// the whole file.
namespace ProbeReading {

inline QByteArray readAt(QFile &file, qint64 position, qint64 length)
{
    if (position < 0 || length <= 0 || !file.seek(position))
        return {};
    return file.read(length);
}

// `length` bytes at `position` straight from the file, leaving QFile's buffer and position as
// they were: read through the buffer, a look at a file's first bytes read 16 KB of it, and a
// scan looks at every file of the folder.
inline QByteArray peek(QFile &file, qint64 position, qint64 length)
{
    const int descriptor = file.handle();
    if (descriptor < 0)
        return readAt(file, position, length);
    if (position < 0 || length <= 0)
        return {};
    QByteArray data(length, Qt::Uninitialized);
    const ssize_t got = ::pread(descriptor, data.data(), size_t(length), off_t(position));
    data.truncate(got > 0 ? qsizetype(got) : 0);
    return data;
}

inline const uchar *bytes(const QByteArray &data, qsizetype offset = 0)
{
    return reinterpret_cast<const uchar *>(data.constData()) + offset;
}

// Reads the small records of a chunk or box walk a page at a time, straight from the file:
// through QFile's buffer each far jump would read 16 KB, and a PNG with many small IDAT chunks
// would be read whole just to find its end.
class HeaderReader final
{
public:
    explicit HeaderReader(QFile &file) : m_file(file), m_size(file.size()) {}

    qint64 fileSize() const { return m_size; }

    // `length` bytes at `position`; fewer only at the end of the file.
    QByteArrayView at(qint64 position, qint64 length)
    {
        if (position < 0 || length <= 0 || length > pageSize)
            return {};
        if (position < m_start || position + length > m_start + m_page.size()) {
            m_start = position;
            m_page = readPage(position);
        }
        const qint64 offset = position - m_start;
        return QByteArrayView(m_page).sliced(offset, std::min(length, qint64(m_page.size()) - offset));
    }

private:
    static constexpr qint64 pageSize = 4096;

    QByteArray readPage(qint64 position)
    {
        const qint64 length = std::min(pageSize, m_size - position);
        if (length <= 0)
            return {};
        return peek(m_file, position, length);
    }

    QFile &m_file;
    qint64 m_size;
    qint64 m_start = 0;
    QByteArray m_page;
};

inline quint32 bigEndian32(QByteArrayView data, qsizetype offset = 0)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(data.data()) + offset);
}

} // namespace ProbeReading
