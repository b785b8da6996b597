#pragma once

#include "core/Screenshot.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class Clipboard;
class ImageServices;
class LibraryModel;
class ScreenshotTextIndex;
class Toasts;

// Copying a screenshot's image or its recognised text to the clipboard. A text copy waits
// for the text index to read the screenshot, then checks in the background that the file is
// still the one the text came from; every outcome ends with a toast.
//
// Main thread only. A text copy's check is dropped when cancelTextCopy() ran meanwhile or the
// library's generation moved on.
class CopyActions final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isCopying READ isCopying NOTIFY isCopyingChanged)
    Q_PROPERTY(bool isCopyingText READ isCopyingText NOTIFY isCopyingTextChanged)
    Q_PROPERTY(std::optional<QString> copiedID READ copiedID NOTIFY copiedIDChanged)

public:
    // `images`, `textIndex`, `toasts` and `library` must outlive the actions.
    CopyActions(std::unique_ptr<Clipboard> clipboard, const ImageServices &images,
                ScreenshotTextIndex &textIndex, Toasts &toasts, const LibraryModel &library,
                QObject *parent = nullptr);
    ~CopyActions() override;

    bool isCopying() const { return m_isCopying; }
    bool isCopyingText() const { return m_isCopyingText; }
    // The screenshot whose image was copied, while the toast saying so shows.
    const std::optional<QString> &copiedID() const { return m_copiedID; }

    void copy(const Screenshot &item);
    void copyText(const Screenshot &item);
    // Drops the text copy waiting or checking, without a toast.
    void cancelTextCopy();

    // The copying flags agree with the work they describe.
    bool isConsistent() const;

signals:
    void isCopyingChanged();
    void isCopyingTextChanged();
    void copiedIDChanged();
    // A file turned out to have moved or changed: the library should look at its folder again.
    void rescanNeeded();

private:
    void setIsCopying(bool value);
    void setIsCopyingText(bool value);
    void setCopiedID(const std::optional<QString> &id);
    void finishPendingTextCopy();
    void failTextCopy(const QString &message);

    std::unique_ptr<Clipboard> m_clipboard;
    const ImageServices &m_images;
    ScreenshotTextIndex &m_textIndex;
    Toasts &m_toasts;
    const LibraryModel &m_library;

    bool m_isCopying = false;
    bool m_isCopyingText = false;
    std::optional<QString> m_copiedID;
    // The text copy waiting for the index to read its screenshot.
    std::optional<Screenshot> m_pendingTextCopy;
    // Serial of the running text copy's file check; none when no check runs.
    std::optional<quint64> m_textCopyTask;
    quint64 m_nextTaskSerial = 0;
};
