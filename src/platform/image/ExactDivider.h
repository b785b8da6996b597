#pragma once

#include <QtGlobal>

// Divides many numbers by one divisor without a division instruction each time: a 64-bit
// division costs tens of cycles, and shrinking an image divides every channel of every result
// pixel by the same area. The quotient is exactly n / d, rounded down, for every n below 2^63.
class ExactDivider final
{
public:
    // d from 1 to 2^63 - 1.
    explicit ExactDivider(quint64 divisor = 1)
        : m_divisor(divisor)
        , m_reciprocal(divisor > 1 ? ~quint64(0) / divisor : 0)
    {
    }

    quint64 divisor() const { return m_divisor; }

    quint64 operator()(quint64 n) const
    {
#ifdef __SIZEOF_INT128__
        if (m_divisor == 1)
            return n;
        // The reciprocal is at most one unit short, so for n below 2^63 the estimate falls
        // short of the quotient by at most one; no product below can exceed 2^64.
        quint64 quotient = quint64((static_cast<unsigned __int128>(n) * m_reciprocal) >> 64);
        if ((quotient + 1) * m_divisor <= n)
            ++quotient;
        return quotient;
#else
        return n / m_divisor;
#endif
    }

private:
    quint64 m_divisor;
    quint64 m_reciprocal;
};
