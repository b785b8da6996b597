#include "ui/gallery/GalleryActionBar.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/controls/QuietIconButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {
constexpr int kSideMargin = 22;
constexpr int kRowHeight = 36;
constexpr int kActionButtonHeight = 34;
constexpr int kInfoMinWidth = 60;
} // namespace

GalleryActionBar::GalleryActionBar(GalleryActions &actions, const Accessibility &accessibility,
                                   QWidget *shareButton, QWidget *parent)
    : QWidget(parent)
    , m_actions(actions)
    , m_pages(new QStackedLayout)
    , m_actionPage(new QWidget(this))
    , m_message(GalleryLabels::make(QString(), 12, QFont::Normal, GalleryLabels::Tone::secondary,
                                    this))
    , m_dimensions(GalleryLabels::make(QString(), 11, QFont::Medium, GalleryLabels::Tone::primary,
                                       m_actionPage))
    , m_fileSize(GalleryLabels::make(QString(), 10, QFont::Normal, GalleryLabels::Tone::secondary,
                                     m_actionPage))
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

    auto *row = new QHBoxLayout(m_actionPage);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_actionPage->setFixedHeight(kRowHeight);

    auto *info = new QVBoxLayout;
    info->setSpacing(1);
    info->addWidget(m_dimensions);
    info->addWidget(m_fileSize);
    m_dimensions->setMinimumWidth(kInfoMinWidth);
    row->addLayout(info);
    row->addStretch(1);

    const auto triggers = [this](GalleryAction action) {
        return [this, action] { m_actions.trigger(action, m_state.selected); };
    };
    const auto button = [&](const QString &symbol, GalleryAction action, const char *name) {
        auto *made = new QuietIconButton(symbol, actions.toolTip(action), false, &accessibility,
                                         m_actionPage);
        made->setObjectName(QLatin1String(name));
        connect(made, &QAbstractButton::clicked, this, triggers(action));
        return made;
    };
    // The bar shows "open larger" rather than the menu's eye: it sits beside the pin and Trash.
    m_preview = button(QStringLiteral("arrow.up.left.and.arrow.down.right"), GalleryAction::preview,
                       "previewButton");
    m_pin = button(actions.symbol(GalleryAction::pin), GalleryAction::pin, "pinButton");
    m_trash = button(actions.symbol(GalleryAction::trash), GalleryAction::trash, "trashButton");
    row->addWidget(m_preview, 0, Qt::AlignVCenter);
    row->addWidget(m_pin, 0, Qt::AlignVCenter);
    row->addWidget(m_trash, 0, Qt::AlignVCenter);
    if (m_share) {
        m_share->setParent(m_actionPage);
        m_share->setFixedSize(BrimfoldDesign::quietButtonSide, BrimfoldDesign::quietButtonSide);
        m_share->setToolTip(actions.toolTip(GalleryAction::share));
        m_share->setAccessibleName(actions.label(GalleryAction::share));
        row->addWidget(m_share, 0, Qt::AlignVCenter);
    }
    row->addSpacing(4);

    m_copyText = new GalleryButton(GalleryButton::Kind::soft,
                                   actions.label(GalleryAction::copyText), m_actionPage);
    m_copyText->setObjectName(QStringLiteral("copyTextButton"));
    m_copyText->setTypeSize(11, QFont::Medium);
    m_copyText->setFixedContentHeight(kActionButtonHeight);
    m_copyText->setToolTip(actions.toolTip(GalleryAction::copyText));
    connect(m_copyText, &QAbstractButton::clicked, this, triggers(GalleryAction::copyText));
    row->addWidget(m_copyText, 0, Qt::AlignVCenter);

    m_copy = new GalleryButton(GalleryButton::Kind::prominent, actions.label(GalleryAction::copy),
                               m_actionPage);
    m_copy->setObjectName(QStringLiteral("copyButton"));
    m_copy->setTypeSize(12, QFont::Medium);
    m_copy->setFixedContentHeight(kActionButtonHeight);
    // The key shows on the button itself, so it has no tooltip to repeat it.
    m_copy->setHint(actions.keyText(GalleryAction::copy));
    connect(m_copy, &QAbstractButton::clicked, this, triggers(GalleryAction::copy));
    row->addWidget(m_copy, 0, Qt::AlignVCenter);

    // Sized for their widest titles, so the row doesn't shift while a copy runs.
    m_copyText->setSymbol(QStringLiteral("ellipsis"));
    m_copyText->setTitle(tr("Reading…"));
    m_copyText->setMinimumWidth(m_copyText->sizeHint().width());
    m_copy->setSymbol(QStringLiteral("ellipsis"));
    m_copy->setTitle(tr("Copying"));
    m_copy->setMinimumWidth(m_copy->sizeHint().width());

    m_pages->addWidget(messagePage);
    m_pages->addWidget(m_actionPage);
    setState(State());
}

bool GalleryActionBar::showsActions() const
{
    return m_pages->currentWidget() == m_actionPage;
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

    const QString pin = m_actions.symbol(GalleryAction::pin);
    m_pin->setSymbol(state.pinned ? pin + QStringLiteral(".fill") : pin);
    m_pin->setLabel(m_actions.toolTip(GalleryAction::pin, item));
    m_pin->setActive(state.pinned);
    m_preview->setEnabled(m_actions.isEnabled(GalleryAction::preview, item));
    m_pin->setEnabled(m_actions.isEnabled(GalleryAction::pin, item));
    m_trash->setEnabled(m_actions.isEnabled(GalleryAction::trash, item));
    if (m_share)
        m_share->setEnabled(m_actions.isEnabled(GalleryAction::share, item));

    if (state.isCopyingText) {
        m_copyText->setSymbol(QStringLiteral("ellipsis"));
        m_copyText->setTitle(tr("Reading…"));
        m_copyText->setAccessibleName(tr("Reading screenshot text"));
    } else {
        m_copyText->setSymbol(m_actions.symbol(GalleryAction::copyText));
        m_copyText->setTitle(m_actions.label(GalleryAction::copyText));
        m_copyText->setAccessibleName(tr("Copy text from selected screenshot"));
    }
    m_copyText->setEnabled(m_actions.isEnabled(GalleryAction::copyText, item));

    if (state.isCopying) {
        m_copy->setSymbol(QStringLiteral("ellipsis"));
        m_copy->setTitle(tr("Copying"));
        m_copy->setAccessibleName(tr("Copying screenshot"));
    } else if (state.copied) {
        m_copy->setSymbol(QStringLiteral("checkmark"));
        m_copy->setTitle(tr("Copied"));
        m_copy->setAccessibleName(tr("Screenshot copied"));
    } else {
        m_copy->setSymbol(m_actions.symbol(GalleryAction::copy));
        m_copy->setTitle(m_actions.label(GalleryAction::copy));
        m_copy->setAccessibleName(tr("Copy selected screenshot"));
    }
    m_copy->setEnabled(m_actions.isEnabled(GalleryAction::copy, item));
    m_pages->setCurrentWidget(m_actionPage);
}

void GalleryActionBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 1),
                     BrimfoldDesign::primary(palette(), BrimfoldDesign::hairlineOpacity));
}
