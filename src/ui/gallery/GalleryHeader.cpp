#include "ui/gallery/GalleryHeader.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldMark.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/controls/QuietIconButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

GalleryHeader::GalleryHeader(bool demo, const Accessibility &accessibility, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("galleryHeader"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(22, 20, 16, 14);
    row->setSpacing(10);

    row->addWidget(new BrimfoldMark(32, this), 0, Qt::AlignVCenter);

    auto *titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(GalleryLabels::make(tr("Brimfold"), 21, QFont::DemiBold,
                                          GalleryLabels::Tone::primary, this));
    titles->addWidget(GalleryLabels::make(tr("Your screenshots, tucked within reach."), 11,
                                          QFont::Normal, GalleryLabels::Tone::secondary, this));
    row->addLayout(titles);
    row->addStretch(1);

    if (demo) {
        m_badge = GalleryLabels::make(tr("PREVIEW"), 9, QFont::DemiBold,
                                      GalleryLabels::Tone::secondary, this);
        m_badge->setObjectName(QStringLiteral("previewBadge"));
        QFont font = m_badge->font();
        font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
        m_badge->setFont(font);
        row->addWidget(m_badge, 0, Qt::AlignVCenter);
        row->addSpacing(4);
    }

    m_settings = new QuietIconButton(QStringLiteral("gearshape"), tr("Settings"), false,
                                     &accessibility, this);
    m_settings->setObjectName(QStringLiteral("settingsButton"));
    connect(m_settings, &QAbstractButton::clicked, this, &GalleryHeader::settingsClicked);
    m_close = new QuietIconButton(QStringLiteral("xmark"), tr("Close · Esc"), false,
                                  &accessibility, this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    connect(m_close, &QAbstractButton::clicked, this, &GalleryHeader::closeClicked);
    row->addWidget(m_settings, 0, Qt::AlignVCenter);
    row->addWidget(m_close, 0, Qt::AlignVCenter);
}
