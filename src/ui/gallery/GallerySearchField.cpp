#include "ui/gallery/GallerySearchField.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/KeptPicture.h"
#include "ui/controls/GalleryButton.h"
#include "ui/design/SymbolView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kWidth = 205;
constexpr int kHeight = 30;
constexpr qreal kFieldRadius = 9;
constexpr qreal kFieldFillOpacity = 0.055;
} // namespace

GallerySearchField::GallerySearchField(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_clear(new GalleryButton(GalleryButton::Kind::plain, QString(), this))
{
    setObjectName(QStringLiteral("searchField"));
    setFixedSize(kWidth, kHeight);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 0, 6, 0);
    row->setSpacing(6);

    row->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 11, this), 0,
                   Qt::AlignVCenter);

    m_edit->setObjectName(QStringLiteral("searchEdit"));
    m_edit->setFrame(false);
    m_edit->setFont(BrimfoldDesign::font(12));
    m_edit->setPlaceholderText(tr("Search names or text"));
    m_edit->setAccessibleName(tr("Search screenshots by filename or text"));
    m_edit->setToolTip(tr("Search screenshots by filename or text"));
    m_edit->setClearButtonEnabled(false);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_edit->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    m_edit->installEventFilter(this);
    row->addWidget(m_edit, 1);

    auto *clear = static_cast<GalleryButton *>(m_clear);
    clear->setObjectName(QStringLiteral("clearSearchButton"));
    clear->setSymbol(QStringLiteral("xmark.circle.fill"));
    clear->setTypeSize(12, QFont::Normal);
    clear->setAccessibleName(tr("Clear search"));
    clear->setToolTip(tr("Clear search"));
    row->addWidget(clear, 0, Qt::AlignVCenter);

    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        updateClearButton();
        Q_EMIT textEdited(text);
    });
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        m_edit->clear();
        updateClearButton();
        Q_EMIT textEdited(QString());
    });
    updateClearButton();
    applyPalette();
}

void GallerySearchField::applyPalette()
{
    // The field draws its own background; the line edit only carries the text.
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    const QColor faint = BrimfoldDesign::tertiary(this->palette());
    palette.setColor(QPalette::PlaceholderText, faint);
    m_edit->setPalette(palette);
    static_cast<GalleryButton *>(m_clear)->setInk(faint);
}

void GallerySearchField::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
}

QString GallerySearchField::text() const
{
    return m_edit->text();
}

void GallerySearchField::setText(const QString &text)
{
    if (text != m_edit->text())
        m_edit->setText(text);
    updateClearButton();
}

void GallerySearchField::updateClearButton()
{
    m_clear->setVisible(!m_edit->text().isEmpty());
}

bool GallerySearchField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QWidget::eventFilter(watched, event);
}

void GallerySearchField::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = BrimfoldDesign::primary(palette(), kFieldFillOpacity);
    const bool focused = m_edit->hasFocus();
    KeptPicture::paint(painter, QRectF(rect()), QStringLiteral("field:%1:%2").arg(fill.rgba()).arg(focused),
                       [&](QPainter &target, const QRectF &bounds) {
                           QPainterPath shape;
                           shape.addRoundedRect(bounds.adjusted(0.75, 0.75, -0.75, -0.75), kFieldRadius, kFieldRadius);
                           target.fillPath(shape, fill);
                           if (focused) {
                               target.setPen(QPen(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.55), 1.5));
                               target.drawPath(shape);
                           }
                       });
}
