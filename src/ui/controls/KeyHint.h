#pragma once

#include <QString>
#include <QWidget>

// A key cap followed by what the key does: [Ctrl+C] Copy.
class KeyHint final : public QWidget
{
    Q_OBJECT

public:
    KeyHint(const QString &keys, const QString &label, QWidget *parent = nullptr);

    const QString &keys() const { return m_keys; }
    const QString &label() const { return m_label; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int capWidth() const;

    QString m_keys;
    QString m_label;
    QFont m_capFont;
    QFont m_labelFont;
};
