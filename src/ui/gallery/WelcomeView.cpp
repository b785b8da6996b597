#include "ui/gallery/WelcomeView.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldMark.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/design/RoundedPanel.h"
#include "ui/design/SymbolView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kCardMaxWidth = 430;
constexpr int kStepCircle = 25;
} // namespace

WelcomeView::WelcomeView(QWidget *parent)
    : QWidget(parent)
    , m_pathLabel(GalleryLabels::make(QString(), 12, QFont::Medium, GalleryLabels::Tone::primary,
                                      this))
    , m_connect(new GalleryButton(GalleryButton::Kind::capsule, tr("Connect screenshot folder"),
                                  this))
{
    setObjectName(QStringLiteral("welcome"));
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(40, 4, 40, 8);
    stack->setSpacing(0);
    stack->addStretch(2);

    // 1. Greeting.
    auto *greeting = new QHBoxLayout;
    greeting->setSpacing(14);
    greeting->addStretch(1);
    greeting->addWidget(new BrimfoldMark(70, this), 0, Qt::AlignVCenter);
    auto *lines = new QVBoxLayout;
    lines->setSpacing(3);
    lines->addStretch(1);
    lines->addWidget(GalleryLabels::make(tr("Take it. It’s here."), 28, QFont::DemiBold,
                                         GalleryLabels::Tone::primary, this));
    lines->addWidget(GalleryLabels::make(tr("A little home for the screenshots you already take."),
                                         12, QFont::Normal, GalleryLabels::Tone::secondary, this));
    lines->addStretch(1);
    greeting->addLayout(lines);
    greeting->addStretch(1);
    stack->addLayout(greeting);
    stack->addSpacing(28);

    // 2. Steps.
    auto *steps = new QHBoxLayout;
    steps->setSpacing(26);
    steps->addStretch(1);
    steps->addWidget(makeStep(QStringLiteral("1"), tr("Capture as usual"), tr("Print Screen")));
    steps->addWidget(makeStep(QStringLiteral("2"), tr("Find it here"), tr("Collected automatically")));
    steps->addWidget(makeStep(QStringLiteral("3"), tr("Put it to work"), tr("Copy, share, or drag")));
    steps->addStretch(1);
    stack->addLayout(steps);
    stack->addSpacing(26);

    // 3. Suggested folder.
    auto *card = new RoundedPanel(
        [](const QPalette &palette) { return BrimfoldDesign::primary(palette, 0.045); }, 12, this);
    card->setObjectName(QStringLiteral("folderCard"));
    card->setMaximumWidth(kCardMaxWidth);
    card->setMinimumWidth(kCardMaxWidth);
    auto *cardRow = new QHBoxLayout(card);
    cardRow->setContentsMargins(16, 12, 16, 12);
    cardRow->setSpacing(12);
    auto *folder = new SymbolView(QStringLiteral("folder"), 20, card);
    folder->setColour(BrimfoldDesign::accent());
    cardRow->addWidget(folder, 0, Qt::AlignVCenter);
    auto *cardLines = new QVBoxLayout;
    cardLines->setSpacing(2);
    cardLines->addWidget(GalleryLabels::make(tr("Suggested screenshot folder"), 10, QFont::Normal,
                                             GalleryLabels::Tone::secondary, card));
    m_pathLabel->setParent(card);
    m_pathLabel->setObjectName(QStringLiteral("folderPath"));
    m_pathLabel->setMinimumWidth(1);
    cardLines->addWidget(m_pathLabel);
    cardRow->addLayout(cardLines, 1);
    stack->addWidget(card, 0, Qt::AlignHCenter);
    stack->addSpacing(20);

    // 4. Connect.
    m_connect->setObjectName(QStringLiteral("connectButton"));
    m_connect->setSymbol(QStringLiteral("folder.badge.plus"));
    m_connect->setTypeSize(13, QFont::Medium);
    m_connect->setFixedContentHeight(38);
    connect(m_connect, &QAbstractButton::clicked, this, &WelcomeView::connectRequested);
    stack->addWidget(m_connect, 0, Qt::AlignHCenter);
    stack->addSpacing(10);
    auto *where = GalleryLabels::make(
        tr("In the next window, select where your desktop saves screenshots.\n"
           "You can check that location in your screenshot tool's settings."),
        11, QFont::Normal, GalleryLabels::Tone::secondary, this);
    where->setObjectName(QStringLiteral("connectHint"));
    where->setAlignment(Qt::AlignHCenter);
    stack->addWidget(where, 0, Qt::AlignHCenter);
    stack->addSpacing(18);

    // 5. Reassurance.
    auto *originals = GalleryLabels::make(tr("Your originals stay in place. Nothing gets uploaded."),
                                          11, QFont::Normal, GalleryLabels::Tone::secondary, this);
    stack->addWidget(originals, 0, Qt::AlignHCenter);
    stack->addStretch(3);
}

QWidget *WelcomeView::makeStep(const QString &number, const QString &title, const QString &detail)
{
    auto *step = new QWidget(this);
    auto *row = new QHBoxLayout(step);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(9);

    auto *circle = new RoundedPanel(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.10), -1,
                                    step);
    circle->setFixedSize(kStepCircle, kStepCircle);
    auto *numberLabel = GalleryLabels::make(number, 11, QFont::DemiBold,
                                            GalleryLabels::Tone::accent, circle);
    numberLabel->setAlignment(Qt::AlignCenter);
    auto *circleLayout = new QHBoxLayout(circle);
    circleLayout->setContentsMargins(0, 0, 0, 0);
    circleLayout->addWidget(numberLabel);
    row->addWidget(circle, 0, Qt::AlignVCenter);

    auto *lines = new QVBoxLayout;
    lines->setSpacing(1);
    lines->addWidget(GalleryLabels::make(title, 12, QFont::Medium, GalleryLabels::Tone::primary,
                                         step));
    lines->addWidget(GalleryLabels::make(detail, 10, QFont::Normal,
                                         GalleryLabels::Tone::secondary, step));
    row->addLayout(lines);
    return step;
}

void WelcomeView::setFolderPath(const QString &path)
{
    m_path = path;
    m_pathLabel->setToolTip(path);
    updatePathLabel();
}

void WelcomeView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updatePathLabel();
}

void WelcomeView::updatePathLabel()
{
    // The card's width less its margins, symbol and spacing: the label's own width is not
    // settled until the layout has run, and the card's never changes.
    const int room = kCardMaxWidth - 16 - 20 - 12 - 16;
    m_pathLabel->setText(m_pathLabel->fontMetrics().elidedText(m_path, Qt::ElideMiddle, room));
}
