#pragma once

#include "platform/Accessibility.h"

#include <optional>

// Accessibility preferences a test sets directly.
class FakeAccessibility final : public Accessibility
{
public:
    explicit FakeAccessibility(bool reduceMotion = false, bool reduceTransparency = false)
        : m_reduceMotion(reduceMotion)
        , m_reduceTransparency(reduceTransparency)
    {
    }

    bool reduceMotion() const override { return m_reduceMotion; }
    bool reduceTransparency() const override { return m_reduceTransparency; }
    void requestBlurBehind(quint64, const QList<QRect> &rects) const override { blurRequest = rects; }

    void set(bool reduceMotion, bool reduceTransparency)
    {
        if (reduceMotion == m_reduceMotion && reduceTransparency == m_reduceTransparency)
            return;
        m_reduceMotion = reduceMotion;
        m_reduceTransparency = reduceTransparency;
        Q_EMIT changed();
    }

    // The area of the last blur-behind request; none before the first.
    mutable std::optional<QList<QRect>> blurRequest;

private:
    bool m_reduceMotion;
    bool m_reduceTransparency;
};
