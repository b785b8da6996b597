#include "ui/GalleryActionBar.h"

#include "ui/BrimfoldDesign.h"
#include "ui/GalleryButton.h"
#include "ui/GalleryLabels.h"
#include "ui/QuietIconButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {
constexpr int kSideMargin = 22;
constexpr int kRowHeight = 36;
constexpr int kButtonHeight = 34;
constexpr int kInfoMinWidth = 60;
} // namespace

GalleryActionBar::GalleryActionBar(const Accessibility &accessibility, QWidget *shareButton,
                                   QWidget *parent)
    : QWidget(parent)
    , m_pages(new QStackedLayout)
    , m_actions(new QWidget(this))
    , m_message(GalleryLabels::make(QString(), 12, QFont::Normal, GalleryLabels::Tone::secondary,
                                    this))
    , m_dimensions(GalleryLabels::make(QString(), 11, QFont::Medium, GalleryLabels::Tone::primary,
                                       m_actions))
    , m_fileSize(GalleryLabels::make(QString(), 10, QFont::Normal, GalleryLabels::Tone::secondary,
                                     m_actions))
    , m_share(shareButton)
{
    setObjectName(QStringLiteral("actionBar"));
    m_message->setObjectName(QStringLiteral("actionMessage"));
    m_dimensions->setObjectName(QStringLiteral("selectionDimensions"));
    m_fileSize->setObjectName(QStringLiteral("selectionFileSize"));

    auto *outer = new QVBoxLayout(this);
    // One pixel for the hairline painted on top.
    outer->setContentsMargins(kSideMargin, 1 + 8, kSideMargin, 8);
    outer->addLayout(m_pages);

    auto *messagePage = new QWidget(this);
    auto *messageRow = new QHBoxLayout(messagePage);
    messageRow->setContentsMargins(0, 0, 0, 0);
    messageRow->addWidget(m_message, 1, Qt::AlignVCenter);
    messagePage->setFixedHeight(kRowHeight);

    auto *row = new QHBoxLayout(m_actions);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_actions->setFixedHeight(kRowHeight);

    auto *info = new QVBoxLayout;
    info->setSpacing(1);
    info->addWidget(m_dimensions);
    info->addWidget(m_fileSize);
    m_dimensions->setMinimumWidth(kInfoMinWidth);
    row->addLayout(info);
    row->addStretch(1);

    m_preview = new QuietIconButton(QStringLiteral("arrow.up.left.and.arrow.down.right"),
                                    tr("Preview · Space"), false,
                                    [this] { Q_EMIT previewRequested(); }, &accessibility,
                                    m_actions);
    m_preview->setObjectName(QStringLiteral("previewButton"));
    m_pin = new QuietIconButton(QStringLiteral("pin"), tr("Pin screenshot"), false,
                                [this] { Q_EMIT pinRequested(); }, &accessibility, m_actions);
    m_pin->setObjectName(QStringLiteral("pinButton"));
    m_trash = new QuietIconButton(QStringLiteral("trash"),
                                  tr("Move original screenshot to Trash · Ctrl+Backspace"), false,
                                  [this] { Q_EMIT trashRequested(); }, &accessibility, m_actions);
    m_trash->setObjectName(QStringLiteral("trashButton"));
    row->addWidget(m_preview, 0, Qt::AlignVCenter);
    row->addWidget(m_pin, 0, Qt::AlignVCenter);
    row->addWidget(m_trash, 0, Qt::AlignVCenter);
    if (m_share) {
        m_share->setParent(m_actions);
        m_share->setFixedSize(BrimfoldDesign::quietButtonSide, BrimfoldDesign::quietButtonSide);
        row->addWidget(m_share, 0, Qt::AlignVCenter);
    }
    row->addSpacing(4);

    m_copyText = new GalleryButton(GalleryButton::Kind::soft, tr("Copy text"), m_actions);
    m_copyText->setObjectName(QStringLiteral("copyTextButton"));
    m_copyText->setTypeSize(11, QFont::Medium);
    m_copyText->setFixedContentHeight(kButtonHeight);
    m_copyText->setToolTip(tr("Copy text · Ctrl+Shift+C"));
    connect(m_copyText, &QAbstractButton::clicked, this, [this] { Q_EMIT copyTextRequested(); });
    row->addWidget(m_copyText, 0, Qt::AlignVCenter);

    m_copy = new GalleryButton(GalleryButton::Kind::prominent, tr("Copy"), m_actions);
    m_copy->setObjectName(QStringLiteral("copyButton"));
    m_copy->setTypeSize(12, QFont::Medium);
    m_copy->setFixedContentHeight(kButtonHeight);
    m_copy->setHint(QStringLiteral("Ctrl+C"));
    connect(m_copy, &QAbstractButton::clicked, this, [this] { Q_EMIT copyRequested(); });
    row->addWidget(m_copy, 0, Qt::AlignVCenter);

    // Sized for their widest titles, so the row doesn't shift while a copy runs.
    m_copyText->setSymbol(QStringLiteral("ellipsis"));
    m_copyText->setTitle(tr("Reading…"));
    m_copyText->setMinimumWidth(m_copyText->sizeHint().width());
    m_copy->setSymbol(QStringLiteral("ellipsis"));
    m_copy->setTitle(tr("Copying"));
    m_copy->setMinimumWidth(m_copy->sizeHint().width());

    m_pages->addWidget(messagePage);
    m_pages->addWidget(m_actions);
    setState(State());
}

bool GalleryActionBar::showsActions() const
{
    return m_pages->currentWidget() == m_actions;
}

QString GalleryActionBar::fileSizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

void GalleryActionBar::setState(const State &state)
{
    m_state = state;
    if (!state.selected || !state.connected) {
        m_message->setText(state.connected ? tr("Select a screenshot to use it.")
                                           : tr("Reconnect your folder to use screenshots."));
        m_pages->setCurrentIndex(0);
        return;
    }
    const Screenshot &item = *state.selected;
    m_dimensions->setText(item.dimensions());
    m_fileSize->setText(fileSizeText(item.bytes()));

    m_pin->setSymbol(state.pinned ? QStringLiteral("pin.fill") : QStringLiteral("pin"));
    m_pin->setLabel(state.pinned ? tr("Unpin screenshot") : tr("Pin screenshot"));
    m_pin->setActive(state.pinned);

    if (state.isCopyingText) {
        m_copyText->setSymbol(QStringLiteral("ellipsis"));
        m_copyText->setTitle(tr("Reading…"));
        m_copyText->setAccessibleName(tr("Reading screenshot text"));
    } else {
        m_copyText->setSymbol(QStringLiteral("text.viewfinder"));
        m_copyText->setTitle(tr("Copy text"));
        m_copyText->setAccessibleName(tr("Copy text from selected screenshot"));
    }
    m_copyText->setEnabled(!state.isCopyingText);

    if (state.isCopying) {
        m_copy->setSymbol(QStringLiteral("ellipsis"));
        m_copy->setTitle(tr("Copying"));
        m_copy->setAccessibleName(tr("Copying screenshot"));
    } else if (state.copied) {
        m_copy->setSymbol(QStringLiteral("checkmark"));
        m_copy->setTitle(tr("Copied"));
        m_copy->setAccessibleName(tr("Screenshot copied"));
    } else {
        m_copy->setSymbol(QStringLiteral("square.on.square"));
        m_copy->setTitle(tr("Copy"));
        m_copy->setAccessibleName(tr("Copy selected screenshot"));
    }
    m_copy->setEnabled(!state.isCopying);
    m_pages->setCurrentWidget(m_actions);
}

void GalleryActionBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 1),
                     BrimfoldDesign::primary(palette(), BrimfoldDesign::hairlineOpacity));
}
