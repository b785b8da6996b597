#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where the user left the floating button: the display it was on and its place as
// fractions of that display's usable area (nominally 0 to 1; vertical 0 is the bottom).
struct FloatingPosition final
{
    QString displayID;
    double horizontal = 0.0;
    double vertical = 0.0;

    // {"displayID": string, "horizontal": number, "vertical": number}; none when a
    // fraction is not finite, since JSON has no form for it.
    std::optional<QByteArray> toJson() const;
    // None unless all three members are present with their types.
    static std::optional<FloatingPosition> fromJson(const QByteArray &json);

    friend bool operator==(const FloatingPosition &, const FloatingPosition &) = default;
};
