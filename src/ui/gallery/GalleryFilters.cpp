#include "ui/gallery/GalleryFilters.h"

#include "ui/gallery/FilterTab.h"
#include "ui/gallery/GallerySearchField.h"

#include <QHBoxLayout>

GalleryFilters::GalleryFilters(QWidget *parent)
    : QWidget(parent)
    , m_recent(new FilterTab(tr("Recent"), QString(), this))
    , m_pinned(new FilterTab(tr("Pinned"), QStringLiteral("pin"), this))
    , m_search(new GallerySearchField(this))
{
    setObjectName(QStringLiteral("filters"));
    m_recent->setObjectName(QStringLiteral("recentTab"));
    m_pinned->setObjectName(QStringLiteral("pinnedTab"));
    m_recent->setToolTip(tr("Recent screenshots · Ctrl+1"));
    m_pinned->setToolTip(tr("Pinned screenshots · Ctrl+2"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(22, 2, 22, 12);
    row->setSpacing(4);
    row->addWidget(m_recent);
    row->addWidget(m_pinned);
    row->addStretch(1);
    row->addWidget(m_search);

    connect(m_recent, &QAbstractButton::clicked, this, [this] { Q_EMIT pinnedOnlyRequested(false); });
    connect(m_pinned, &QAbstractButton::clicked, this, [this] { Q_EMIT pinnedOnlyRequested(true); });
}

void GalleryFilters::setCounts(int recent, int pinned)
{
    m_recent->setCount(recent);
    m_pinned->setCount(pinned);
}

void GalleryFilters::setPinnedOnly(bool pinnedOnly)
{
    m_recent->setSelected(!pinnedOnly);
    m_pinned->setSelected(pinnedOnly);
}
