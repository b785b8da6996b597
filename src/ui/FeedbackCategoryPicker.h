#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;

// The feedback window's segmented control: the titles side by side on a faint rounded track,
// the chosen one on a raised thumb. Each segment is a checkable button, so a screen reader
// hears the titles and which one is chosen; the control itself takes keyboard focus and the
// arrow keys move the choice.
class FeedbackCategoryPicker final : public QWidget
{
    Q_OBJECT

public:
    explicit FeedbackCategoryPicker(const QStringList &titles, QWidget *parent = nullptr);

    int count() const { return int(m_segments.size()); }
    int currentIndex() const { return m_current; }
    QString currentTitle() const;
    QAbstractButton *segment(int index) const;

    // Out-of-range indices are ignored.
    void setCurrentIndex(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void currentIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QList<QAbstractButton *> m_segments;
    int m_current = 0;
    // The focus ring shows only when the keyboard brought focus here, not on a click or when
    // the window opens.
    bool m_focusVisible = false;
};
