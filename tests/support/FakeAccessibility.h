#pragma once

#include "platform/Accessibility.h"

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

    void set(bool reduceMotion, bool reduceTransparency)
    {
        if (reduceMotion == m_reduceMotion && reduceTransparency == m_reduceTransparency)
            return;
        m_reduceMotion = reduceMotion;
        m_reduceTransparency = reduceTransparency;
        Q_EMIT changed();
    }

private:
    bool m_reduceMotion;
    bool m_reduceTransparency;
};
