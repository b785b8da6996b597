#pragma once

#include <QAbstractButton>
#include <QIcon>

// One of the gallery's two tabs ("Recent", "Pinned"): an optional symbol, the title and the
// count, on a faint capsule while selected. Checked means selected, which is also what screen
// readers are told.
class FilterTab final : public QAbstractButton
{
    Q_OBJECT

public:
    FilterTab(const QString &title, const QString &symbol, QWidget *parent = nullptr);

    const QString &title() const { return m_title; }
    int count() const { return m_count; }
    bool selected() const { return isChecked(); }

    void setCount(int count);
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    // Pressing never toggles: the library decides which tab is selected.
    void nextCheckState() override {}
    void paintEvent(QPaintEvent *event) override;

private:
    void updateAccessibleName();

    QString m_title;
    QIcon m_icon;
    int m_count = 0;
};
