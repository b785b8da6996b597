#pragma once

#include "core/Screenshot.h"

#include <QWidget>

#include <optional>

class Accessibility;
class GalleryActions;
class GalleryButton;
class QLabel;
class QStackedLayout;
class QuietIconButton;

// The bar under the grid. With a screenshot selected (and the folder connected): its size
// and file size, then Preview, Pin, Trash, Share, "Copy text" and the prominent "Copy". Without
// one, a single line saying what to do. Titles, symbols, keys, enabled state and what a
// press does come from the gallery's action set.
class GalleryActionBar final : public QWidget
{
    Q_OBJECT

public:
    // The values the bar shows, read from the library at each render.
    struct State
    {
        std::optional<Screenshot> selected; // only while the folder is connected
        bool connected = false;
        bool pinned = false;
        bool isCopying = false;
        bool isCopyingText = false;
        bool copied = false; // the library's last copy is the selected screenshot
    };

    // `shareButton` is placed between Trash and "Copy text"; the bar takes it over.
    // `actions` must outlive the bar.
    GalleryActionBar(GalleryActions &actions, const Accessibility &accessibility,
                     QWidget *shareButton, QWidget *parent = nullptr);

    void setState(const State &state);
    const State &state() const { return m_state; }

    QLabel *messageLabel() const { return m_message; }
    QLabel *dimensionsLabel() const { return m_dimensions; }
    QLabel *fileSizeLabel() const { return m_fileSize; }
    QuietIconButton *previewButton() const { return m_preview; }
    QuietIconButton *pinButton() const { return m_pin; }
    QuietIconButton *trashButton() const { return m_trash; }
    QWidget *shareButton() const { return m_share; }
    GalleryButton *copyTextButton() const { return m_copyText; }
    GalleryButton *copyButton() const { return m_copy; }
    // True while the row of actions (rather than the line of text) shows.
    bool showsActions() const;

    // The file size as the desktop's file managers write it ("245.3 kB").
    static QString fileSizeText(qint64 bytes);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    GalleryActions &m_actions;
    State m_state;
    QStackedLayout *m_pages;
    QWidget *m_actionPage;
    QLabel *m_message;
    QLabel *m_dimensions;
    QLabel *m_fileSize;
    QuietIconButton *m_preview;
    QuietIconButton *m_pin;
    QuietIconButton *m_trash;
    QWidget *m_share;
    GalleryButton *m_copyText;
    GalleryButton *m_copy;
};
