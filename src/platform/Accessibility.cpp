#include "platform/Accessibility.h"

Accessibility::Accessibility(QObject *parent)
    : QObject(parent)
{
}

Accessibility::~Accessibility() = default;
