#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QPointer>

class Accessibility;
class QVariantAnimation;

// The small square icon button of the gallery header and action bar: a symbol centred in a
// 32 × 32 frame, borderless. Its rounded background shows the accent colour while active and a
// faint primary tint under the pointer; hover changes ease out over 0.12 s unless reduce motion
// is on. The label is its tooltip and its accessible name. Pressing it emits `clicked`.
class QuietIconButton final : public QAbstractButton
{
    Q_OBJECT

public:
    QuietIconButton(const QString &symbol, const QString &label, bool isActive,
                    const Accessibility *accessibility, QWidget *parent = nullptr);
    ~QuietIconButton() override;

    const QString &symbol() const { return m_symbol; }
    const QString &label() const { return m_label; }
    bool isActive() const { return m_isActive; }

    void setSymbol(const QString &symbol);
    void setLabel(const QString &label);
    void setActive(bool isActive);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The background while in these states, before any animation.
    static QColor backgroundColour(const QPalette &palette, bool isActive, bool hovered);
    static QColor symbolColour(const QPalette &palette, bool isActive);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    // Eases the hover tint toward underMouse().
    void followPointer();

    QString m_symbol;
    QString m_label;
    bool m_isActive;
    QPointer<const Accessibility> m_accessibility;
    QIcon m_icon;
    qreal m_hoverProgress = 0.0; // 0: pointer away, 1: over
    QVariantAnimation *m_hoverAnimation;
};
