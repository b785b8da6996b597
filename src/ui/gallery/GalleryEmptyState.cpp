#include "ui/gallery/GalleryEmptyState.h"

#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BusySpinner.h"
#include "ui/controls/GalleryButton.h"
#include "ui/gallery/GalleryLabels.h"
#include "ui/design/SymbolView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kDetailMaxWidth = 320;

QFont titleFont(qreal size, bool rounded)
{
    QFont font = BrimfoldDesign::font(size, QFont::Medium);
    if (rounded) {
        // Prefer a rounded face when the desktop has one; otherwise the system face stays.
        font.setFamilies({QStringLiteral("Nunito"), QStringLiteral("Varela Round"),
                          QStringLiteral("Quicksand"), font.family()});
    }
    return font;
}

} // namespace

GalleryEmptyState::GalleryEmptyState(QWidget *parent)
    : QWidget(parent)
    , m_spinner(new BusySpinner(22, 1.0, this))
    , m_symbol(new SymbolView(QString(), 36, this))
    , m_title(GalleryLabels::make(QString(), 17, QFont::Medium, GalleryLabels::Tone::primary, this))
    , m_detail(GalleryLabels::make(QString(), 12, QFont::Normal, GalleryLabels::Tone::secondary,
                                   this))
    , m_clear(new GalleryButton(GalleryButton::Kind::plain, tr("Clear search"), this))
    , m_stack(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("galleryMessage"));
    m_symbol->setObjectName(QStringLiteral("messageSymbol"));
    m_title->setObjectName(QStringLiteral("messageTitle"));
    m_detail->setObjectName(QStringLiteral("messageDetail"));
    m_clear->setObjectName(QStringLiteral("clearSearchLink"));
    m_clear->setTypeSize(12, QFont::Medium);
    // The large symbols stand for a light weight: a paler ink than the secondary text.
    m_symbol->setInkOpacity(0.34);

    m_title->setAlignment(Qt::AlignCenter);
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setWordWrap(true);
    // A fixed width: a wrapped label centred by its layout would not get the height it needs.
    m_detail->setFixedWidth(kDetailMaxWidth);

    m_stack->setContentsMargins(22, 12, 22, 24);
    m_stack->addStretch(1);
    m_stack->addWidget(m_spinner, 0, Qt::AlignHCenter);
    m_stack->addWidget(m_symbol, 0, Qt::AlignHCenter);
    m_stack->addWidget(m_title, 0, Qt::AlignHCenter);
    m_stack->addWidget(m_detail, 0, Qt::AlignHCenter);
    m_stack->addWidget(m_clear, 0, Qt::AlignHCenter);
    m_stack->addStretch(1);

    connect(m_clear, &QAbstractButton::clicked, this, &GalleryEmptyState::clearSearchRequested);
    m_content.title = QStringLiteral("-"); // forces the first setContent through
    setContent(Content());
}

void GalleryEmptyState::setContent(const Content &content)
{
    if (content == m_content)
        return;
    m_content = content;
    m_spinner->setVisible(content.spinner);
    m_symbol->setVisible(!content.spinner && !content.symbol.isEmpty());
    if (!content.symbol.isEmpty())
        m_symbol->setSymbol(content.symbol);
    // Symbol size changes mean a new view; sizes are few, so rebuild only when it differs.
    if (m_symbol->symbolSize() != content.symbolSize) {
        auto *symbol = new SymbolView(content.symbol, content.symbolSize, this);
        symbol->setColour(m_symbol->colour());
        symbol->setInkOpacity(m_symbol->inkOpacity());
        symbol->setObjectName(m_symbol->objectName());
        symbol->setVisible(m_symbol->isVisibleTo(this));
        // The layout hands back the old widget's item, and with it the duty to delete it.
        delete m_stack->replaceWidget(m_symbol, symbol);
        delete m_symbol;
        m_symbol = symbol;
    }
    m_title->setFont(titleFont(content.titleSize, content.roundedTitle));
    m_title->setText(content.title);
    // Hidden, an empty title is not measured: the gallery's layout asks every page of its area
    // for a size, and a font first measured loads its face at that size.
    m_title->setVisible(!content.title.isEmpty());
    m_detail->setText(content.detail);
    // A wrapped label's size hint guesses a width of its own; give it the height it needs at
    // the width it has.
    if (const int height = m_detail->heightForWidth(kDetailMaxWidth); height > 0)
        m_detail->setFixedHeight(height);
    m_detail->setVisible(!content.detail.isEmpty());
    m_clear->setVisible(content.clearSearch);
    m_stack->setSpacing(content.spacing);
}
