#include "ui/feedback/FeedbackDetailsEditor.h"

#include "ui/design/BrimfoldDesign.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr qreal kRadius = 12;
constexpr int kPaddingX = 14;
constexpr int kPaddingY = 12;
constexpr qreal kOutlineOpacity = 0.13;
constexpr qreal kPlaceholderOpacity = 0.38;

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QString rgba(const QColor &colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

// Viewport margins are protected: they leave room between the text and the scroll bar.
class PaddedTextEdit final : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;
    using QPlainTextEdit::setViewportMargins;
};

} // namespace

FeedbackDetailsEditor::FeedbackDetailsEditor(QWidget *parent)
    : QWidget(parent)
    , m_editor(new PaddedTextEdit(this))
    , m_placeholder(new QLabel(this))
{
    auto *box = new QVBoxLayout(this);
    // The right edge keeps only a little room: the slim scroll bar sits there.
    box->setContentsMargins(kPaddingX, kPaddingY, 4, 4);
    box->addWidget(m_editor);

    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFont(BrimfoldDesign::font(13));
    // The surface carries the padding, so the text and the placeholder start at the same point.
    m_editor->document()->setDocumentMargin(0);
    static_cast<PaddedTextEdit *>(m_editor)->setViewportMargins(0, 0, kPaddingX - 4, kPaddingY - 4);
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->setAutoFillBackground(false);
    // Tab moves on to the next control, so the window can be used from the keyboard alone.
    m_editor->setTabChangesFocus(true);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editor->installEventFilter(this);

    m_placeholder->setFont(m_editor->font());
    m_placeholder->setTextFormat(Qt::PlainText);
    m_placeholder->setWordWrap(true);
    m_placeholder->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Lies over the editor: clicks reach the text. The editor also carries the hint as its
    // accessible description.
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->raise();

    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
        updatePlaceholder();
        Q_EMIT textChanged();
    });
    applyPalette();
    updatePlaceholder();
}

QString FeedbackDetailsEditor::text() const
{
    return m_editor->toPlainText();
}

void FeedbackDetailsEditor::setPlaceholderText(const QString &text)
{
    m_placeholder->setText(text);
    m_editor->setAccessibleDescription(text);
    placePlaceholder();
}

void FeedbackDetailsEditor::updatePlaceholder()
{
    m_placeholder->setVisible(m_editor->document()->isEmpty());
}

void FeedbackDetailsEditor::placePlaceholder()
{
    const int width = std::max(0, this->width() - 2 * kPaddingX);
    m_placeholder->setGeometry(kPaddingX, kPaddingY, width, m_placeholder->heightForWidth(width));
}

void FeedbackDetailsEditor::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePlaceholder();
}

void FeedbackDetailsEditor::applyPalette()
{
    m_applying = true;
    const QPalette &colours = palette();
    // The surface paints the background; the editor only carries the text.
    QPalette editorPalette = m_editor->palette();
    editorPalette.setColor(QPalette::Base, Qt::transparent);
    editorPalette.setColor(QPalette::Highlight, BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.3));
    editorPalette.setColor(QPalette::HighlightedText, colours.color(QPalette::Text));
    m_editor->setPalette(editorPalette);

    QPalette placeholderPalette = m_placeholder->palette();
    placeholderPalette.setColor(QPalette::WindowText,
                                BrimfoldDesign::withOpacity(colours.color(QPalette::Text),
                                                            kPlaceholderOpacity));
    m_placeholder->setPalette(placeholderPalette);

    // A slim rounded scroll bar in the text colour, instead of the desktop's full-width one.
    const QColor handle = BrimfoldDesign::withOpacity(colours.color(QPalette::Text), 0.22);
    const QColor handleHover = BrimfoldDesign::withOpacity(colours.color(QPalette::Text), 0.38);
    m_editor->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 0; }"
                       "QScrollBar::handle:vertical { background: %1; border-radius: 3px;"
                       " min-height: 24px; margin: 0 1px; }"
                       "QScrollBar::handle:vertical:hover { background: %2; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
                       " { height: 0; border: none; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
                       " { background: none; }")
            .arg(rgba(handle), rgba(handleHover)));
    m_applying = false;
}

void FeedbackDetailsEditor::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (!m_applying && event->type() == QEvent::PaletteChange) {
        applyPalette();
        update();
    }
}

bool FeedbackDetailsEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QWidget::eventFilter(watched, event);
}

void FeedbackDetailsEditor::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    const bool focused = m_editor->hasFocus();
    const QRectF box = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    QPainterPath shape;
    shape.addRoundedRect(box, kRadius, kRadius);
    painter.fillPath(shape, isDark(colours) ? BrimfoldDesign::primary(colours, 0.05)
                                            : colours.color(QPalette::Base));
    if (focused) {
        // A soft accent halo outside a crisp accent outline, as focused fields have.
        QPainterPath halo;
        halo.addRoundedRect(box.adjusted(-1.5, -1.5, 1.5, 1.5), kRadius + 1.5, kRadius + 1.5);
        painter.setPen(QPen(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.28), 3));
        painter.drawPath(halo);
        painter.setPen(QPen(BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0.85), 1.25));
    } else {
        painter.setPen(QPen(BrimfoldDesign::primary(colours, kOutlineOpacity), 1));
    }
    painter.drawPath(shape);
}
