#include "ui/AppearancePalette.h"

#include "ui/BrimfoldDesign.h"

namespace AppearancePalette {
namespace {

struct Colors
{
    QColor window, windowText, base, alternateBase, text, button, buttonText, placeholder, mid, dark,
        light, shadow, tooltip, tooltipText, disabledText;
};

QPalette make(const Colors &c)
{
    QPalette p(c.button, c.window);
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.windowText);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternateBase);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.buttonText);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::PlaceholderText, c.placeholder);
    p.setColor(QPalette::Light, c.light);
    p.setColor(QPalette::Midlight, c.light);
    p.setColor(QPalette::Mid, c.mid);
    p.setColor(QPalette::Dark, c.dark);
    p.setColor(QPalette::Shadow, c.shadow);
    p.setColor(QPalette::ToolTipBase, c.tooltip);
    p.setColor(QPalette::ToolTipText, c.tooltipText);
    p.setColor(QPalette::Highlight, BrimfoldDesign::accent());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, BrimfoldDesign::accent());
    p.setColor(QPalette::LinkVisited, BrimfoldDesign::accent().darker(115));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c.disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, c.mid);
    return p;
}

} // namespace

QPalette light()
{
    return make({QColor(246, 246, 248), QColor(28, 28, 30), Qt::white, QColor(240, 240, 243),
                 QColor(28, 28, 30), QColor(236, 236, 240), QColor(28, 28, 30), QColor(142, 142, 147),
                 QColor(200, 200, 206), QColor(160, 160, 166), Qt::white, QColor(0, 0, 0, 60),
                 QColor(255, 255, 255), QColor(28, 28, 30), QColor(170, 170, 176)});
}

QPalette dark()
{
    return make({QColor(38, 38, 42), QColor(238, 238, 242), QColor(28, 28, 31), QColor(46, 46, 51),
                 QColor(238, 238, 242), QColor(56, 56, 62), QColor(238, 238, 242), QColor(142, 142, 150),
                 QColor(86, 86, 94), QColor(20, 20, 22), QColor(72, 72, 80), QColor(0, 0, 0, 120),
                 QColor(52, 52, 58), QColor(238, 238, 242), QColor(110, 110, 118)});
}

} // namespace AppearancePalette
