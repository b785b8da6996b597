#pragma once

#include <QWidget>

class Accessibility;
class QLabel;
class QuietIconButton;

// The top row of the gallery: the mark, the name and tagline, the "PREVIEW" badge of a
// demonstration, and the Settings and Close buttons.
class GalleryHeader final : public QWidget
{
    Q_OBJECT

public:
    GalleryHeader(bool demo, const Accessibility &accessibility, QWidget *parent = nullptr);

    // None in a normal run.
    QLabel *previewBadge() const { return m_badge; }
    QuietIconButton *settingsButton() const { return m_settings; }
    QuietIconButton *closeButton() const { return m_close; }

signals:
    void settingsClicked();
    void closeClicked();

private:
    QLabel *m_badge = nullptr;
    QuietIconButton *m_settings = nullptr;
    QuietIconButton *m_close = nullptr;
};
