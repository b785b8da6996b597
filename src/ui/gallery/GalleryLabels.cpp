#include "ui/gallery/GalleryLabels.h"

#include "ui/design/BrimfoldDesign.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>

namespace {

// Lives on a label and derives its ink again whenever the palette changes: a colour copied
// into the label's own palette would otherwise stay that of the appearance it was made in.
class ToneKeeper final : public QObject
{
public:
    static constexpr const char *name = "brimfoldToneKeeper";

    ToneKeeper(QLabel *label, GalleryLabels::Tone tone)
        : QObject(label)
        , m_label(label)
        , m_tone(tone)
    {
        setObjectName(QLatin1String(name));
        label->installEventFilter(this);
    }

    void setTone(GalleryLabels::Tone tone)
    {
        m_tone = tone;
        apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && !m_applying
            && (event->type() == QEvent::PaletteChange
                || event->type() == QEvent::ApplicationPaletteChange))
            apply();
        return false;
    }

private:
    void apply()
    {
        // From the application's palette, so applying a tone twice never compounds the opacity.
        const QPalette base = QGuiApplication::palette();
        QColor ink;
        switch (m_tone) {
        case GalleryLabels::Tone::primary:
            ink = BrimfoldDesign::primary(base);
            break;
        case GalleryLabels::Tone::secondary:
            ink = BrimfoldDesign::secondary(base);
            break;
        case GalleryLabels::Tone::accent:
            ink = BrimfoldDesign::accent();
            break;
        }
        QPalette palette = m_label->palette();
        palette.setColor(QPalette::WindowText, ink);
        m_applying = true;
        m_label->setPalette(palette);
        m_applying = false;
    }

    QLabel *m_label;
    GalleryLabels::Tone m_tone;
    bool m_applying = false;
};

} // namespace

QLabel *GalleryLabels::make(const QString &text, qreal size, QFont::Weight weight, Tone tone,
                            QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(BrimfoldDesign::font(size, weight));
    label->setTextFormat(Qt::PlainText);
    setTone(label, tone);
    return label;
}

void GalleryLabels::setTone(QLabel *label, Tone tone)
{
    auto *keeper = dynamic_cast<ToneKeeper *>(
        label->findChild<QObject *>(QLatin1String(ToneKeeper::name), Qt::FindDirectChildrenOnly));
    if (!keeper)
        keeper = new ToneKeeper(label, tone);
    keeper->setTone(tone);
}
