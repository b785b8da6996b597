#include "platform/Accessibility.h"

Accessibility::Accessibility(QObject *parent)
    : QObject(parent)
{
}

Accessibility::~Accessibility() = default;

void Accessibility::requestBlurBehind(quint64, const QList<QRect> &) const
{
}
