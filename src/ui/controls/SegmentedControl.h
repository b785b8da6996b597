#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// A row of mutually exclusive choices in one faint capsule; the chosen one is filled with the
// accent colour. Each segment is a checkable button of its own for keyboards and screen
// readers (Tab reaches them, the arrow keys move between them).
class SegmentedControl final : public QWidget
{
    Q_OBJECT

public:
    SegmentedControl(const QStringList &titles, const QString &accessibleName,
                     QWidget *parent = nullptr);

    int count() const { return int(m_segments.size()); }
    // -1 while nothing is chosen.
    int currentIndex() const;
    // Shows a choice; says nothing through `activated`.
    void setCurrentIndex(int index);
    QAbstractButton *segment(int index) const { return m_segments.at(index); }

signals:
    // The user chose the segment at `index`.
    void activated(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QAbstractButton *> m_segments;
    QButtonGroup *m_group;
};
