#include "ui/gallery/FocusRequests.h"

FocusRequests::FocusRequests(QObject *parent) : QObject(parent) {}

void FocusRequests::postFocusGallery()
{
    Q_EMIT focusGallery();
}

void FocusRequests::postFocusSearch()
{
    Q_EMIT focusSearch();
}
