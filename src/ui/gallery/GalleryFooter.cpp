#include "ui/gallery/GalleryFooter.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BusySpinner.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/design/StatusDot.h"
#include "ui/design/SymbolView.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedLayout>

namespace {

constexpr int kDotSide = 5;
constexpr int kSymbolSide = 12;

QHBoxLayout *rowFor(QWidget *widget, int spacing = 6)
{
    auto *row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    return row;
}

} // namespace

QColor GalleryFooter::orange()
{
    return QColor(255, 149, 0);
}

QColor GalleryFooter::green()
{
    return QColor(52, 199, 89);
}

GalleryFooter::GalleryFooter(QWidget *parent)
    : QWidget(parent)
    , m_left(new QWidget(this))
    , m_toast(new QWidget(m_left))
    , m_toastSymbol(new SymbolView(QStringLiteral("checkmark.circle.fill"), kSymbolSide, m_toast))
    , m_toastText(GalleryLabels::make(QString(), 11, QFont::Medium, GalleryLabels::Tone::primary,
                                      m_toast))
    , m_undo(new GalleryButton(GalleryButton::Kind::plain, tr("Undo"), m_toast))
    , m_status(new QWidget(m_left))
    , m_statusSpinner(new BusySpinner(12, 0.75, m_status))
    , m_statusSymbol(new SymbolView(QStringLiteral("text.viewfinder"), kSymbolSide, m_status))
    , m_statusText(GalleryLabels::make(QString(), 11, QFont::Normal, GalleryLabels::Tone::secondary,
                                       m_status))
    , m_retry(new GalleryButton(GalleryButton::Kind::plain, tr("Retry"), m_status))
    , m_folder(new QWidget(m_left))
    , m_dot(new StatusDot(kDotSide, m_folder))
    , m_folderText(GalleryLabels::make(QString(), 11, QFont::Normal,
                                       GalleryLabels::Tone::secondary, m_folder))
    , m_shortcut(GalleryLabels::make(QString(), 10, QFont::Medium, GalleryLabels::Tone::secondary,
                                     this))
{
    setObjectName(QStringLiteral("footer"));
    m_toastSymbol->setObjectName(QStringLiteral("toastSymbol"));
    m_toastText->setObjectName(QStringLiteral("toastText"));
    m_undo->setObjectName(QStringLiteral("undoButton"));
    m_statusText->setObjectName(QStringLiteral("statusText"));
    m_retry->setObjectName(QStringLiteral("retryButton"));
    m_dot->setObjectName(QStringLiteral("folderDot"));
    m_folderText->setObjectName(QStringLiteral("folderText"));
    m_shortcut->setObjectName(QStringLiteral("shortcutLabel"));
    m_undo->setTypeSize(11, QFont::DemiBold);
    m_retry->setTypeSize(11, QFont::DemiBold);

    auto *toastRow = rowFor(m_toast);
    toastRow->addWidget(m_toastSymbol, 0, Qt::AlignVCenter);
    toastRow->addWidget(m_toastText, 0, Qt::AlignVCenter);
    toastRow->addSpacing(2);
    toastRow->addWidget(m_undo, 0, Qt::AlignVCenter);
    toastRow->addStretch(1);

    auto *statusRow = rowFor(m_status);
    statusRow->addWidget(m_statusSpinner, 0, Qt::AlignVCenter);
    statusRow->addWidget(m_statusSymbol, 0, Qt::AlignVCenter);
    statusRow->addWidget(m_statusText, 0, Qt::AlignVCenter);
    statusRow->addSpacing(2);
    statusRow->addWidget(m_retry, 0, Qt::AlignVCenter);
    statusRow->addStretch(1);

    auto *folderRow = rowFor(m_folder, 7);
    folderRow->addWidget(m_dot, 0, Qt::AlignVCenter);
    folderRow->addWidget(m_folderText, 0, Qt::AlignVCenter);
    folderRow->addStretch(1);

    auto *pages = new QStackedLayout(m_left);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->addWidget(m_toast);
    pages->addWidget(m_status);
    pages->addWidget(m_folder);

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(10);
    mono.setWeight(QFont::Medium);
    m_shortcut->setFont(mono);
    GalleryLabels::setTone(m_shortcut, GalleryLabels::Tone::primary);
    auto *toOpen = GalleryLabels::make(tr("to open"), 10, QFont::Normal,
                                       GalleryLabels::Tone::secondary, this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(24, 8, 24, 16);
    row->setSpacing(6);
    row->addWidget(m_left, 1);
    row->addWidget(m_shortcut, 0, Qt::AlignVCenter);
    row->addWidget(toOpen, 0, Qt::AlignVCenter);
    m_left->setFixedHeight(22);

    connect(m_undo, &QAbstractButton::clicked, this, &GalleryFooter::undoRequested);
    connect(m_retry, &QAbstractButton::clicked, this, &GalleryFooter::retryRequested);
    setState(State());
}

void GalleryFooter::setState(const State &state)
{
    m_state = state;
    auto *pages = static_cast<QStackedLayout *>(m_left->layout());
    if (state.toast) {
        m_form = Form::toast;
        const bool failure = state.toastStyle == ToastStyle::failure;
        m_toastSymbol->setSymbol(failure ? QStringLiteral("exclamationmark.circle.fill")
                                         : QStringLiteral("checkmark.circle.fill"));
        m_toastSymbol->setColour(failure ? orange() : BrimfoldDesign::accent());
        m_toastText->setText(*state.toast);
        m_undo->setVisible(state.canUndo && state.toastStyle == ToastStyle::trash);
        pages->setCurrentWidget(m_toast);
    } else if (state.connected && state.textIndexStatus) {
        m_form = Form::status;
        m_statusSpinner->setVisible(state.isIndexing);
        m_statusSymbol->setVisible(!state.isIndexing);
        m_statusText->setText(*state.textIndexStatus);
        m_retry->setVisible(!state.isIndexing);
        pages->setCurrentWidget(m_status);
    } else {
        m_form = Form::folder;
        if (state.connected) {
            m_dot->setColour(green());
            m_folderText->setText(tr("Watching %1").arg(state.folderName));
        } else if (state.hasConnectedFolder) {
            m_dot->setColour(orange());
            m_folderText->setText(tr("Folder disconnected"));
        } else {
            m_dot->setColour(BrimfoldDesign::secondary(palette()));
            m_folderText->setText(tr("Local. Private. Yours."));
        }
        pages->setCurrentWidget(m_folder);
    }
    m_shortcut->setText(state.shortcutLabel);
}

void GalleryFooter::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The idle dot's ink comes from the palette.
    if (event->type() == QEvent::PaletteChange)
        setState(m_state);
}
