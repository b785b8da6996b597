#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// How one screenshot tool builds its file names, compiled once: literal text and the date and
// time fields the tool writes, so that a name matches only with a date in the tool's own form,
// never with any other text in its place. Literal text compares in any letter case.
// Immutable after construction; copies share their tokens and may be read from any thread.
class ScreenshotNamePattern final
{
public:
    // Flameshot's "filenamePattern" when the user never set one.
    static constexpr QStringView flameshotDefault = u"%F_%H-%M";

    // A Flameshot file-name pattern, expanded as Flameshot expands it: the strftime conversions
    // it knows become fields, any other "%" stays as written, "/" and ":" become "⁄" and "-",
    // and a name already taken gets "_1", "_2"… An empty pattern is Flameshot's default.
    static ScreenshotNamePattern flameshot(QStringView pattern);
    // A translation of GNOME Shell's "Screenshot from %s": the date as "%Y-%m-%d %H-%M-%S"; a
    // name already taken gets "-1", "-2"… None when the translation is not one placeholder for
    // the date in literal text.
    static std::optional<ScreenshotNamePattern> gnomeShell(QStringView translation);
    // A translation of gnome-screenshot's "Screenshot from %s.%s" or "Screenshot from %s - %d.%s":
    // the date as above, then the counter, then the file extension. None when the extension
    // does not end the name (such a file has no image extension) or the placeholders differ.
    static std::optional<ScreenshotNamePattern> gnomeScreenshot(QStringView translation);

    // Whether `baseName`, a file name without its extension in canonical composition, is one
    // this pattern gives.
    bool matches(QStringView baseName) const;

private:
    struct Token
    {
        enum class Kind : quint8 {
            Literal,   // `text`
            Number,    // exactly `width` digits, value within [low, high]; `padded`: a space may lead
            Counter,   // 1, 2, … as the tool counts names that are taken
            Word,      // a locale's name of a day, month or half-day: letters, possibly none
            Zone,      // a time-zone abbreviation: letters, digits, "+" and "-"
            Offset,    // "+hhmm" or "-hhmm"
            Composite, // a locale's whole date or time: date characters, possibly none, with a digit
        };
        Kind kind = Kind::Literal;
        bool padded = false;
        quint8 width = 0;
        quint16 low = 0;
        quint16 high = 0;
        QString text;
    };

    void appendLiteral(QStringView text);
    void appendNumber(int width, int low, int high, bool padded = false);
    void appendToken(Token::Kind kind);
    // Appends the fields of one Flameshot conversion; false when Flameshot keeps it as text.
    bool appendFlameshotConversion(char16_t conversion);
    void appendGnomeDate();
    // What the tool fills a translation's placeholders with.
    enum class Argument { Date, Counter, Extension };
    // Compiles a printf-style translation (%s and %d, positional or not; "%%" a percent sign)
    // whose arguments are `arguments`, in order. None on any other conversion, a placeholder
    // count that differs, or an extension that does not end the name after a dot.
    static std::optional<ScreenshotNamePattern> fromTranslation(QStringView translation,
                                                                const QList<Argument> &arguments);

    bool matchFrom(qsizetype token, qsizetype position, QStringView name) const;
    bool matchesClashSuffix(QStringView rest) const;

    QList<Token> m_tokens;
    // What separates the counter a tool appends to a name already taken; empty: it appends none.
    QString m_clashSeparator;
};
