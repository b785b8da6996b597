#include "ui/feedback/FeedbackView.h"

#include "platform/Clipboard.h"
#include "platform/UrlOpener.h"
#include "settings/ReleaseInfo.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldMark.h"
#include "ui/feedback/FeedbackDetailsEditor.h"
#include "ui/controls/GalleryButton.h"
#include "ui/controls/SegmentedControl.h"
#include "ui/controls/SettingsRow.h"
#include "ui/controls/SettingsSwitch.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QRadialGradient>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {

constexpr int kPadding = 26;
constexpr int kStackSpacing = 17;
constexpr int kHeaderSpacing = 12;
constexpr int kTitleSpacing = 4;
constexpr int kMarkSize = 44;
constexpr int kButtonHeight = 32;
constexpr int kSwitchTitleGap = 10;
constexpr QSize kWindowSize(560, 520);

QFont titleFont()
{
    QFont font = BrimfoldDesign::font(21, QFont::DemiBold);
    // Prefer a rounded face when the desktop has one; otherwise the system face stays.
    font.setFamilies({QStringLiteral("Nunito"), QStringLiteral("Varela Round"),
                      QStringLiteral("Quicksand"), font.family()});
    return font;
}

} // namespace

FeedbackView::FeedbackView(Clipboard &clipboard, UrlOpener &urls,
                           const ReleaseConfiguration &configuration, QWidget *parent)
    : QWidget(parent)
    , m_clipboard(clipboard)
    , m_urls(urls)
    , m_configuration(configuration)
{
    setObjectName(QStringLiteral("feedbackView"));
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    stack->setSpacing(kStackSpacing);

    // Header: the mark beside the title and subtitle.
    auto *header = new QHBoxLayout;
    header->setSpacing(kHeaderSpacing);
    header->addWidget(new BrimfoldMark(kMarkSize, this), 0, Qt::AlignVCenter);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(kTitleSpacing);
    QLabel *title = makeLabel(tr("Help Brimfold feel at home."), 21, QFont::DemiBold, Tone::primary);
    title->setFont(titleFont());
    title->setAccessibleName(title->text());
    titles->addWidget(title);
    titles->addWidget(makeLabel(tr("A small detail can make a big difference."), 13, QFont::Normal,
                                Tone::secondary));
    header->addLayout(titles, 1);
    stack->addLayout(header);

    m_picker = new SegmentedControl(categories(), tr("Feedback"), this);
    m_picker->setCurrentIndex(0);
    // Across the window: the two choices share its width.
    m_picker->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    stack->addWidget(m_picker);

    m_details = new FeedbackDetailsEditor(this);
    m_details->editor()->setAccessibleName(tr("Feedback details"));
    stack->addWidget(m_details, 1);

    // The switch beside its title, with the line it would add beneath the title. A click on
    // the title toggles it too.
    const QString includeTitle = tr("Include system version and architecture");
    auto *systemRow = new SettingsRow(this);
    systemRow->setMinimumHeight(0);
    systemRow->content()->setContentsMargins(0, 0, 0, 0);
    auto *system = new QGridLayout;
    // The switch keeps room for its focus ring on both sides; the gap counts from the track.
    system->setHorizontalSpacing(kSwitchTitleGap - SettingsSwitch::focusRim);
    system->setVerticalSpacing(0);
    m_includeSystem = new SettingsSwitch(includeTitle, systemRow);
    m_includeSystem->setChecked(true);
    system->addWidget(m_includeSystem, 0, 0);
    system->addWidget(makeLabel(includeTitle, 13, QFont::Normal, Tone::primary), 0, 1,
                      Qt::AlignVCenter);
    m_systemLine = makeLabel(systemLine(), 11.5, QFont::Normal, Tone::secondary);
    m_systemLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    system->addWidget(m_systemLine, 1, 1);
    system->setColumnStretch(1, 1);
    systemRow->content()->addLayout(system);
    systemRow->setActivator(m_includeSystem);
    stack->addWidget(systemRow);

    m_privacy = makeLabel(tr("No screenshots, filenames, folder paths, or logs are attached "
                             "automatically."),
                          12, QFont::Normal, Tone::secondary);
    stack->addWidget(m_privacy);

    const std::optional<QString> &address = m_configuration.feedbackEmail();
    m_delivery = makeLabel(address ? tr("Draft addressed to %1. You review and send it in your "
                                        "email app.")
                                         .arg(*address)
                                   : tr("Copy your feedback and share it with the person who "
                                        "invited you to the beta."),
                           12, QFont::Normal, Tone::secondary);
    stack->addWidget(m_delivery);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    m_statusLabel = makeLabel(QString(), 11, QFont::Medium, Tone::secondary);
    m_statusLabel->setWordWrap(false);
    m_statusLabel->hide();
    bottom->addWidget(m_statusLabel, 0, Qt::AlignVCenter);
    bottom->addStretch(1);
    m_copy = new GalleryButton(GalleryButton::Kind::soft, tr("Copy feedback"), this);
    if (address)
        m_email = new GalleryButton(GalleryButton::Kind::prominent, tr("Open email draft"), this);
    for (GalleryButton *button : {m_copy, m_email}) {
        if (!button)
            continue;
        button->setTypeSize(13, QFont::Medium);
        button->setFixedContentHeight(kButtonHeight);
        button->setAccessibleName(button->title());
        // Reachable with Tab; a click leaves focus in the editor.
        button->setFocusPolicy(Qt::TabFocus);
        bottom->addWidget(button, 0, Qt::AlignVCenter);
    }
    stack->addLayout(bottom);

    connect(m_picker, &SegmentedControl::activated, this, &FeedbackView::updatePlaceholder);
    connect(m_details, &FeedbackDetailsEditor::textChanged, this, &FeedbackView::updateEnabled);
    connect(m_includeSystem, &QAbstractButton::toggled, m_systemLine, &QWidget::setVisible);
    // The status speaks of the report as it was copied or sent; once that changes it is stale.
    connect(m_picker, &SegmentedControl::activated, this, &FeedbackView::clearStatus);
    connect(m_details, &FeedbackDetailsEditor::textChanged, this, &FeedbackView::clearStatus);
    connect(m_includeSystem, &QAbstractButton::toggled, this, &FeedbackView::clearStatus);
    connect(m_copy, &QAbstractButton::clicked, this, &FeedbackView::copyFeedback);
    if (m_email)
        connect(m_email, &QAbstractButton::clicked, this, &FeedbackView::openEmailDraft);
    // The buttons' focus ring is drawn by this view, around them.
    // Kept so the destructor can drop it: QWidget's own destructor clears focus, which would
    // otherwise call back into this half-destroyed view.
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        for (QWidget *button : {static_cast<QWidget *>(m_copy), static_cast<QWidget *>(m_email)}) {
            if (button && (button == old || button == now))
                update();
        }
    });

    setFocusProxy(m_details->editor());
    // The window opens ready for typing, not on the first category.
    m_details->editor()->setFocus();
    updatePlaceholder();
    updateEnabled();
    applyPalette();
}

FeedbackView::~FeedbackView()
{
    disconnect(m_focusConnection);
}

QStringList FeedbackView::categories()
{
    return {tr("Report a problem"), tr("Suggest an improvement")};
}

QString FeedbackView::systemLine()
{
    return QSysInfo::prettyProductName() + QStringLiteral(" · ") + QSysInfo::currentCpuArchitecture();
}

QString FeedbackView::category() const
{
    return categories().value(m_picker->currentIndex());
}

QString FeedbackView::details() const
{
    return m_details->text();
}

bool FeedbackView::includeSystem() const
{
    return m_includeSystem->isChecked();
}

bool FeedbackView::hasDetails() const
{
    return !details().trimmed().isEmpty();
}

QString FeedbackView::report() const
{
    QString text = QStringLiteral("Brimfold ") + ReleaseInfo::displayVersion() + QLatin1Char('\n')
        + category() + QStringLiteral("\n\n") + details().trimmed();
    if (includeSystem())
        text += QStringLiteral("\n\n") + systemLine();
    return text;
}

QPlainTextEdit *FeedbackView::detailsEditor() const
{
    return m_details->editor();
}

QLabel *FeedbackView::placeholderLabel() const
{
    return m_details->placeholder();
}

QAbstractButton *FeedbackView::copyButton() const
{
    return m_copy;
}

QAbstractButton *FeedbackView::emailButton() const
{
    return m_email;
}

QSize FeedbackView::sizeHint() const
{
    return kWindowSize;
}

void FeedbackView::copyFeedback()
{
    if (!hasDetails())
        return;
    setStatus(m_clipboard.writeText(report()) ? tr("Copied. Ready to share.")
                                              : tr("Couldn’t copy. Try again."));
}

void FeedbackView::openEmailDraft()
{
    if (!hasDetails())
        return;
    const std::optional<QUrl> draft
        = m_configuration.feedbackDraftURL(QStringLiteral("Brimfold beta: ") + category(), report());
    setStatus(draft && m_urls.open(*draft) ? tr("Draft opened in your email app.")
                                           : tr("No email app available. Use Copy feedback."));
}

void FeedbackView::setStatus(const QString &status)
{
    m_status = status;
    m_statusLabel->setText(status);
    m_statusLabel->show();
}

void FeedbackView::clearStatus()
{
    m_status.reset();
    m_statusLabel->clear();
    m_statusLabel->hide();
}

void FeedbackView::updatePlaceholder()
{
    m_details->setPlaceholderText(m_picker->currentIndex() == 0
                                      ? tr("What happened, and what did you expect?")
                                      : tr("What would make your screenshot workflow easier?"));
}

void FeedbackView::updateEnabled()
{
    const bool enabled = hasDetails();
    m_copy->setEnabled(enabled);
    if (m_email)
        m_email->setEnabled(enabled);
}

QLabel *FeedbackView::makeLabel(const QString &text, qreal size, QFont::Weight weight, Tone tone)
{
    auto *label = new QLabel(text, this);
    label->setFont(BrimfoldDesign::font(size, weight));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    m_labels.append({label, tone});
    return label;
}

void FeedbackView::applyPalette()
{
    // From this view's palette, which the window's appearance sets, and never from a label's
    // own: reading back an ink already applied would compound its opacity.
    const QPalette &colours = palette();
    for (const auto &[label, tone] : std::as_const(m_labels)) {
        QPalette inks = label->palette();
        inks.setColor(QPalette::WindowText, tone == Tone::primary
                                                ? BrimfoldDesign::primary(colours)
                                                : BrimfoldDesign::secondary(colours));
        label->setPalette(inks);
    }
}

void FeedbackView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        applyPalette();
        update();
    }
}

void FeedbackView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Window));
    // A faint accent glow behind the header ties the window to the rest of Brimfold.
    QRadialGradient glow(QPointF(kPadding + kMarkSize / 2.0, kPadding + kMarkSize / 2.0),
                         width() * 0.75);
    glow.setColorAt(0, BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.11));
    glow.setColorAt(1, BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.0));
    painter.fillRect(rect(), glow);

    for (const GalleryButton *button : {m_copy, m_email}) {
        if (!button || !button->hasFocus())
            continue;
        const QRectF ring = QRectF(button->geometry()).adjusted(-2.5, -2.5, 2.5, 2.5);
        painter.setPen(QPen(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.55), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(ring, 13, 13);
    }
}
