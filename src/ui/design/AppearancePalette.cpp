#include "ui/design/AppearancePalette.h"

#include "ui/design/BrimfoldDesign.h"

#include <utility>

namespace AppearancePalette {
namespace {

struct Colors
{
    QColor window, windowText, base, alternateBase, text, button, buttonText, placeholder, mid, dark,
        light, shadow, tooltip, tooltipText, disabledText;
};

QPalette make(const Colors &c)
{
    // Qt derives the shades of every role from the button and window colours; the roles the
    // appearance decides are then set for all colour groups.
    QPalette p(c.button, c.window);
    const QColor accent = BrimfoldDesign::accent();
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, c.window},           {QPalette::WindowText, c.windowText},
        {QPalette::Base, c.base},               {QPalette::AlternateBase, c.alternateBase},
        {QPalette::Text, c.text},               {QPalette::Button, c.button},
        {QPalette::ButtonText, c.buttonText},   {QPalette::BrightText, Qt::white},
        {QPalette::PlaceholderText, c.placeholder},
        {QPalette::Light, c.light},             {QPalette::Midlight, c.light},
        {QPalette::Mid, c.mid},                 {QPalette::Dark, c.dark},
        {QPalette::Shadow, c.shadow},           {QPalette::ToolTipBase, c.tooltip},
        {QPalette::ToolTipText, c.tooltipText}, {QPalette::Highlight, accent},
        {QPalette::HighlightedText, Qt::white}, {QPalette::Link, accent},
        {QPalette::LinkVisited, accent.darker(115)},
    };
    for (const auto &[role, colour] : roles)
        p.setColor(role, colour);
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
