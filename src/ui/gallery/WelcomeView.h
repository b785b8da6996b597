#pragma once

#include <QWidget>

class GalleryButton;
class QLabel;

// What the gallery shows until a folder is connected: a greeting, three numbered steps, the
// suggested folder, and the button that connects it.
class WelcomeView final : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomeView(QWidget *parent = nullptr);

    // The suggested folder's path, shown on one line and shortened in the middle when long.
    void setFolderPath(const QString &path);
    const QString &folderPath() const { return m_path; }

    GalleryButton *connectButton() const { return m_connect; }
    QLabel *folderPathLabel() const { return m_pathLabel; }

signals:
    void connectRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *makeStep(const QString &number, const QString &title, const QString &detail);
    void updatePathLabel();

    QString m_path;
    QLabel *m_pathLabel;
    GalleryButton *m_connect;
};
