#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QUrl>

class ShareServices;

// The action bar's share control: the "square.and.arrow.up" symbol in a 32 × 32 borderless
// frame that opens the share menu for one file under itself. The menu offers what this desktop
// can do with the file ("Email…", "Open With…", "Copy File"); entries whose tool is missing
// are left out.
class ShareButton final : public QAbstractButton
{
    Q_OBJECT

public:
    // `share` must outlive the button.
    ShareButton(ShareServices &share, const QUrl &url = {}, QWidget *parent = nullptr);

    const QUrl &url() const { return m_url; }
    // The file the next menu is for; the gallery sets it on every change of the selection.
    void setUrl(const QUrl &url);

    // The menu for the current file, parented to the button. The button keeps the one it
    // shows alive while open and replaces it on the next press.
    QMenu *createMenu();
    QMenu *picker() const { return m_picker; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void share();

    ShareServices &m_share;
    QUrl m_url;
    QIcon m_icon;
    QPointer<QMenu> m_picker;
};
