#pragma once

#include <QAbstractButton>
#include <QList>
#include <QStringList>

class QAction;
class QMenu;

// A button showing the current choice with a chevron; clicking it opens a menu of every
// choice with a check beside the current one.
class PopupPicker final : public QAbstractButton
{
    Q_OBJECT

public:
    PopupPicker(const QStringList &titles, const QString &accessibleName, QWidget *parent = nullptr);

    int count() const { return int(m_actions.size()); }
    int currentIndex() const { return m_current; }
    // Shows a choice (-1: none); says nothing through `activated`.
    void setCurrentIndex(int index);
    QMenu *menu() const { return m_menu; }
    QAction *action(int index) const { return m_actions.at(index); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The user chose the entry at `index`.
    void activated(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openMenu();

    QMenu *m_menu;
    QList<QAction *> m_actions;
    int m_current = -1;
};
