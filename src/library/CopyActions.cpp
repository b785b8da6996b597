#include "library/CopyActions.h"

#include "core/BackgroundPool.h"
#include "core/WhenFinished.h"

#include "library/LibraryModel.h"
#include "library/Toasts.h"
#include "platform/Clipboard.h"
#include "platform/image/ImageFileProbe.h"
#include "platform/ImageServices.h"
#include "text/ScreenshotTextIndex.h"

#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrenttask.h>

#include <algorithm>

namespace {

// Work the user waits for goes ahead of scans on the shared pool.
constexpr int kUserInitiatedPriority = 1;

// The most PNG data an image copy puts on the clipboard, and so reads from a file.
constexpr qint64 kMaxCopyBytes = 256 * 1024 * 1024;

struct PngCopy
{
    std::optional<QByteArray> bytes;
    bool tooLarge = false; // the image is there but larger than kMaxCopyBytes
};

// The bytes of a PNG file as they are, up to the end of the image (whatever follows it is no
// part of it); anything else (or a file named .png that holds another format) decoded and
// encoded as a PNG of its first image. No bytes when that fails.
PngCopy pngData(const QString &path, const ImageServices &images)
{
    if (QFileInfo(path).suffix().toLower() == QLatin1String("png")) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        if (const std::optional<ImageFileProbe::PngLayout> png = ImageFileProbe::pngLayout(file)) {
            if (png->end > kMaxCopyBytes)
                return {std::nullopt, true};
            if (!file.seek(0))
                return {};
            QByteArray bytes = file.read(png->end);
            if (bytes.size() != png->end)
                return {};
            return {std::move(bytes)};
        }
    }
    const std::optional<QImage> image = images.decodeFirstImage(path);
    if (!image)
        return {};
    std::optional<QByteArray> encoded = ImageServices::encodePng(*image);
    if (encoded && encoded->size() > kMaxCopyBytes)
        return {std::nullopt, true};
    return {std::move(encoded)};
}

} // namespace

CopyActions::CopyActions(std::unique_ptr<Clipboard> clipboard, const ImageServices &images,
                         ScreenshotTextIndex &textIndex, Toasts &toasts, const LibraryModel &library,
                         QObject *parent)
    : QObject(parent)
    , m_clipboard(std::move(clipboard))
    , m_images(images)
    , m_textIndex(textIndex)
    , m_toasts(toasts)
    , m_library(library)
{
    Q_ASSERT(m_clipboard);
    // The copied mark lasts as long as the toast that announced it.
    connect(&m_toasts, &Toasts::ended, this, [this] { setCopiedID(std::nullopt); });
    // A waiting text copy goes on as soon as the index has read something new.
    connect(&m_textIndex, &ScreenshotTextIndex::changed, this, &CopyActions::finishPendingTextCopy);
}

CopyActions::~CopyActions()
{
    // A running copy reads through the image services, which may go right after this.
    waitForWatchedWork(this);
}

void CopyActions::setIsCopying(bool value)
{
    if (m_isCopying == value)
        return;
    m_isCopying = value;
    emit isCopyingChanged();
}

void CopyActions::setIsCopyingText(bool value)
{
    if (m_isCopyingText == value)
        return;
    m_isCopyingText = value;
    emit isCopyingTextChanged();
}

void CopyActions::setCopiedID(const std::optional<QString> &id)
{
    if (m_copiedID == id)
        return;
    m_copiedID = id;
    emit copiedIDChanged();
}

// --- copy image --------------------------------------------------------------------------------

void CopyActions::copy(const Screenshot &item)
{
    if (m_isCopying)
        return;
    setIsCopying(true);
    setCopiedID(std::nullopt);

    const QString path = item.id();
    const ImageServices *images = &m_images;
    const QFuture<PngCopy> encoding =
        QtConcurrent::task([path, images] { return pngData(path, *images); })
            .onThreadPool(BackgroundPool::shared())
            .withPriority(kUserInitiatedPriority)
            .spawn();
    whenFinished(encoding, this, [this, id = item.id()](const PngCopy &copy) {
        setIsCopying(false);
        if (copy.tooLarge) {
            m_toasts.show(tr("Couldn’t copy this image. It’s too large for the clipboard."),
                          Toasts::defaultDuration, ToastStyle::failure);
            return;
        }
        const std::optional<QByteArray> &png = copy.bytes;
        if (!png) {
            m_toasts.show(tr("Couldn’t copy this image. It may have moved."),
                          Toasts::defaultDuration, ToastStyle::failure);
            emit rescanNeeded();
            return;
        }
        if (!m_clipboard->writeImagePng(*png)) {
            m_toasts.show(tr("Couldn’t update the clipboard. Try again."),
                          Toasts::defaultDuration, ToastStyle::failure);
            return;
        }
        // After the toast, which clears the mark: the tile stays marked as long as it shows.
        m_toasts.show(tr("Copied. Ready to paste."));
        setCopiedID(id);
    });
}

// --- copy text ---------------------------------------------------------------------------------

void CopyActions::copyText(const Screenshot &item)
{
    if (!m_library.connected() || m_isCopyingText)
        return;
    m_pendingTextCopy = item;
    setIsCopyingText(true);
    m_textIndex.prioritize(item);
    finishPendingTextCopy();
}

void CopyActions::cancelTextCopy()
{
    m_pendingTextCopy.reset();
    m_textCopyTask.reset();
    setIsCopyingText(false);
}

void CopyActions::failTextCopy(const QString &message)
{
    m_pendingTextCopy.reset();
    setIsCopyingText(false);
    m_toasts.show(message, Toasts::defaultDuration, ToastStyle::failure);
}

void CopyActions::finishPendingTextCopy()
{
    if (!m_pendingTextCopy)
        return;
    const Screenshot item = *m_pendingTextCopy;
    const QString key = item.cacheKey();

    const QList<Screenshot> &items = m_library.items();
    const bool inLibrary = std::any_of(items.cbegin(), items.cend(),
                                       [&](const Screenshot &s) { return s.cacheKey() == key; });
    if (!m_library.connected() || !inLibrary) {
        failTextCopy(tr("This screenshot changed or moved. Please try again."));
        return;
    }
    if (m_textIndex.failedKeys().contains(key)) {
        failTextCopy(tr("Couldn’t read this screenshot’s text. Try again."));
        return;
    }
    const auto document = m_textIndex.documents().constFind(key);
    if (document == m_textIndex.documents().cend())
        return; // still being read; the index's next change calls us again

    // The text is taken now, together with the record it was read from, and only copied if
    // the file is still that record: the index may drop or replace the entry meanwhile.
    const QString text = document->text();
    m_pendingTextCopy.reset();
    const quint64 serial = ++m_nextTaskSerial;
    m_textCopyTask = serial;
    const qint64 generation = m_library.generation();

    const QFuture<bool> check = QtConcurrent::task([item] { return item.matchesCurrentFile(); })
                                    .onThreadPool(BackgroundPool::shared())
                                    .withPriority(kUserInitiatedPriority)
                                    .spawn();
    whenFinished(check, this, [this, serial, generation, text](bool matches) {
        if (m_textCopyTask != serial || m_library.generation() != generation)
            return;
        m_textCopyTask.reset();
        setIsCopyingText(false);
        if (!matches) {
            m_toasts.show(tr("This screenshot changed. Please try again."),
                          Toasts::defaultDuration, ToastStyle::failure);
            emit rescanNeeded();
            return;
        }
        if (text.isEmpty()) {
            m_toasts.show(tr("No readable text found. Clipboard unchanged."));
            return;
        }
        if (m_clipboard->writeText(text)) {
            m_toasts.show(tr("Text copied. Ready to paste."));
        } else {
            m_toasts.show(tr("Couldn’t update the clipboard. Try again."),
                          Toasts::defaultDuration, ToastStyle::failure);
        }
    });
}

bool CopyActions::isConsistent() const
{
    if (m_isCopyingText != (m_pendingTextCopy.has_value() || m_textCopyTask.has_value()))
        return false;
    if (m_pendingTextCopy && m_textCopyTask)
        return false;
    // The mark is shown with the toast that announced it, never without one.
    return !m_copiedID || m_toasts.message();
}
