#pragma once

#include <QWidget>

class GalleryButton;
class QLabel;

// The orange row under the header that shows the library's persistent problem, with the
// "Reconnect" button that is always there.
class GalleryErrorBanner final : public QWidget
{
    Q_OBJECT

public:
    explicit GalleryErrorBanner(QWidget *parent = nullptr);

    void setMessage(const QString &message);
    QString message() const;
    GalleryButton *reconnectButton() const { return m_reconnect; }

signals:
    void reconnectClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_message;
    GalleryButton *m_reconnect;
};
