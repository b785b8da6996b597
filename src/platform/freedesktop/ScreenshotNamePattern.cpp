#include "platform/freedesktop/ScreenshotNamePattern.h"

#include <algorithm>

namespace {

// A counter beyond this many digits is no tool's.
constexpr qsizetype maxCounterDigits = 9;
// Bounds on the locale texts a field may stand for, so that a field never swallows a name.
constexpr qsizetype maxWordLength = 32;
constexpr qsizetype maxZoneLength = 10;
constexpr qsizetype maxCompositeLength = 64;

constexpr char16_t fractionSlash = u'\u2044';

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isWordCharacter(QChar c)
{
    return c.isLetter() || c.isMark() || c == QLatin1Char('.');
}

bool isZoneCharacter(QChar c)
{
    return c.isLetter() || isDigit(c) || c == QLatin1Char('+') || c == QLatin1Char('-');
}

bool isCompositeCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char(' ') || c == QLatin1Char('.')
        || c == QLatin1Char(',') || c == QLatin1Char('-') || c == fractionSlash;
}

// The length of a counter ("1", "2", … "10", never "0" or "01") at the start of `text`; 0 when none.
qsizetype counterLength(QStringView text)
{
    if (text.isEmpty() || !isDigit(text.front()) || text.front() == QLatin1Char('0'))
        return 0;
    qsizetype length = 1;
    while (length < text.size() && isDigit(text.at(length)))
        ++length;
    return length <= maxCounterDigits ? length : 0;
}

} // namespace

void ScreenshotNamePattern::appendLiteral(QStringView text)
{
    if (text.isEmpty())
        return;
    if (!m_tokens.isEmpty() && m_tokens.back().kind == Token::Kind::Literal) {
        m_tokens.back().text.append(text);
        return;
    }
    Token token;
    token.text = text.toString();
    m_tokens.append(std::move(token));
}

void ScreenshotNamePattern::appendNumber(int width, int low, int high, bool padded)
{
    Token token;
    token.kind = Token::Kind::Number;
    token.width = quint8(width);
    token.low = quint16(low);
    token.high = quint16(high);
    token.padded = padded;
    m_tokens.append(std::move(token));
}

void ScreenshotNamePattern::appendToken(Token::Kind kind)
{
    Token token;
    token.kind = kind;
    m_tokens.append(std::move(token));
}

void ScreenshotNamePattern::appendGnomeDate()
{
    // "%Y-%m-%d %H-%M-%S"
    appendNumber(4, 0, 9999);
    appendLiteral(u"-");
    appendNumber(2, 1, 12);
    appendLiteral(u"-");
    appendNumber(2, 1, 31);
    appendLiteral(u" ");
    appendNumber(2, 0, 23);
    appendLiteral(u"-");
    appendNumber(2, 0, 59);
    appendLiteral(u"-");
    appendNumber(2, 0, 60);
}

bool ScreenshotNamePattern::appendFlameshotConversion(char16_t conversion)
{
    // What glibc's strftime writes for each conversion Flameshot passes to it, after Flameshot
    // replaced ":" with "-" and "/" with "⁄".
    switch (conversion) {
    case u'Y': case u'G': appendNumber(4, 0, 9999); return true;
    case u'C': case u'y': case u'g': appendNumber(2, 0, 99); return true;
    case u'm': appendNumber(2, 1, 12); return true;
    case u'd': appendNumber(2, 1, 31); return true;
    case u'e': appendNumber(2, 1, 31, true); return true;
    case u'H': appendNumber(2, 0, 23); return true;
    case u'I': appendNumber(2, 1, 12); return true;
    case u'M': appendNumber(2, 0, 59); return true;
    case u'S': appendNumber(2, 0, 60); return true;
    case u'j': appendNumber(3, 1, 366); return true;
    case u'u': appendNumber(1, 1, 7); return true;
    case u'w': appendNumber(1, 0, 6); return true;
    case u'U': case u'W': appendNumber(2, 0, 53); return true;
    case u'V': appendNumber(2, 1, 53); return true;
    case u'F':
        appendFlameshotConversion(u'Y');
        appendLiteral(u"-");
        appendFlameshotConversion(u'm');
        appendLiteral(u"-");
        appendFlameshotConversion(u'd');
        return true;
    case u'D':
        appendFlameshotConversion(u'm');
        appendLiteral(QStringView(&fractionSlash, 1));
        appendFlameshotConversion(u'd');
        appendLiteral(QStringView(&fractionSlash, 1));
        appendFlameshotConversion(u'y');
        return true;
    case u'T':
    case u'R':
        appendFlameshotConversion(u'H');
        appendLiteral(u"-");
        appendFlameshotConversion(u'M');
        if (conversion == u'T') {
            appendLiteral(u"-");
            appendFlameshotConversion(u'S');
        }
        return true;
    case u'n': appendLiteral(u"\n"); return true;
    case u't': appendLiteral(u"\t"); return true;
    case u'a': case u'A': case u'b': case u'B': case u'h': case u'p':
        appendToken(Token::Kind::Word);
        return true;
    case u'Z': appendToken(Token::Kind::Zone); return true;
    case u'z': appendToken(Token::Kind::Offset); return true;
    case u'c': case u'x': case u'X': case u'r':
        appendToken(Token::Kind::Composite);
        return true;
    default:
        return false;
    }
}

ScreenshotNamePattern ScreenshotNamePattern::flameshot(QStringView pattern)
{
    const QString composed = (pattern.isEmpty() ? flameshotDefault : pattern)
                                 .toString()
                                 .normalized(QString::NormalizationForm_C);
    ScreenshotNamePattern compiled;
    for (qsizetype i = 0; i < composed.size(); ++i) {
        const QChar c = composed.at(i);
        if (c == QLatin1Char('%') && i + 1 < composed.size()
            && compiled.appendFlameshotConversion(composed.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('/'))
            compiled.appendLiteral(QStringView(&fractionSlash, 1));
        else if (c == QLatin1Char(':'))
            compiled.appendLiteral(u"-");
        else
            compiled.appendLiteral(QStringView(&c, 1));
    }
    compiled.m_clashSeparator = QStringLiteral("_");
    return compiled;
}

std::optional<ScreenshotNamePattern> ScreenshotNamePattern::gnomeShell(QStringView translation)
{
    auto compiled = fromTranslation(translation, {Argument::Date});
    if (compiled)
        compiled->m_clashSeparator = QStringLiteral("-");
    return compiled;
}

std::optional<ScreenshotNamePattern> ScreenshotNamePattern::gnomeScreenshot(QStringView translation)
{
    if (auto first = fromTranslation(translation, {Argument::Date, Argument::Extension}))
        return first;
    return fromTranslation(translation, {Argument::Date, Argument::Counter, Argument::Extension});
}

std::optional<ScreenshotNamePattern> ScreenshotNamePattern::fromTranslation(QStringView translation,
                                                                            const QList<Argument> &arguments)
{
    // Literal text and argument numbers, in the translation's order.
    struct Piece
    {
        QString text;
        qsizetype argument = -1;
    };
    QList<Piece> pieces;
    QList<bool> used(arguments.size(), false);
    qsizetype next = 0;
    const QString text = translation.toString().normalized(QString::NormalizationForm_C);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('%')) {
            if (pieces.isEmpty() || pieces.back().argument >= 0)
                pieces.append(Piece{});
            pieces.back().text.append(text.at(i));
            continue;
        }
        qsizetype j = i + 1;
        if (j < text.size() && text.at(j) == QLatin1Char('%')) {
            if (pieces.isEmpty() || pieces.back().argument >= 0)
                pieces.append(Piece{});
            pieces.back().text.append(QLatin1Char('%'));
            i = j;
            continue;
        }
        // "%N$s": the Nth argument; "%s": the next one.
        qsizetype index = next++;
        qsizetype digits = j;
        while (digits < text.size() && isDigit(text.at(digits)))
            ++digits;
        if (digits > j && digits < text.size() && text.at(digits) == QLatin1Char('$')) {
            index = text.sliced(j, digits - j).toLongLong() - 1;
            j = digits + 1;
        }
        if (j >= text.size() || index < 0 || index >= arguments.size() || used.at(index))
            return std::nullopt;
        const QChar conversion = text.at(j);
        const bool number = arguments.at(index) == Argument::Counter;
        if (conversion != (number ? QLatin1Char('d') : QLatin1Char('s')))
            return std::nullopt;
        used[index] = true;
        pieces.append(Piece{QString(), index});
        i = j;
    }
    if (used.contains(false))
        return std::nullopt;

    ScreenshotNamePattern compiled;
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        const Piece &piece = pieces.at(p);
        if (piece.argument < 0) {
            compiled.appendLiteral(piece.text);
            continue;
        }
        switch (arguments.at(piece.argument)) {
        case Argument::Date:
            compiled.appendGnomeDate();
            break;
        case Argument::Counter:
            compiled.appendToken(Token::Kind::Counter);
            break;
        case Argument::Extension: {
            // The name is matched without its extension: it must be the last thing, after a dot.
            QList<Token> &tokens = compiled.m_tokens;
            if (p + 1 != pieces.size() || tokens.isEmpty() || tokens.back().kind != Token::Kind::Literal
                || !tokens.back().text.endsWith(QLatin1Char('.')))
                return std::nullopt;
            tokens.back().text.chop(1);
            if (tokens.back().text.isEmpty())
                tokens.removeLast();
            break;
        }
        }
    }
    return compiled;
}

bool ScreenshotNamePattern::matches(QStringView baseName) const
{
    return matchFrom(0, 0, baseName);
}

bool ScreenshotNamePattern::matchesClashSuffix(QStringView rest) const
{
    return !m_clashSeparator.isEmpty() && rest.startsWith(m_clashSeparator)
        && counterLength(rest.sliced(m_clashSeparator.size())) == rest.size() - m_clashSeparator.size();
}

bool ScreenshotNamePattern::matchFrom(qsizetype index, qsizetype position, QStringView name) const
{
    if (index == m_tokens.size())
        return position == name.size() || matchesClashSuffix(name.sliced(position));
    const Token &token = m_tokens.at(index);
    const QStringView rest = name.sliced(position);

    // Tries every length from the longest the characters allow down to `shortest`.
    const auto tryRun = [&](auto allowed, qsizetype longest, qsizetype shortest, bool needsDigit) {
        qsizetype run = 0;
        const qsizetype cap = std::min(longest, rest.size());
        while (run < cap && allowed(rest.at(run)))
            ++run;
        for (qsizetype length = run; length >= shortest; --length) {
            if (needsDigit && length > 0
                && std::none_of(rest.begin(), rest.begin() + length, [](QChar c) { return isDigit(c); }))
                continue;
            if (matchFrom(index + 1, position + length, name))
                return true;
        }
        return false;
    };

    switch (token.kind) {
    case Token::Kind::Literal:
        return rest.size() >= token.text.size()
            && rest.first(token.text.size()).compare(token.text, Qt::CaseInsensitive) == 0
            && matchFrom(index + 1, position + token.text.size(), name);
    case Token::Kind::Number: {
        if (rest.size() < token.width)
            return false;
        int value = 0;
        for (qsizetype i = 0; i < token.width; ++i) {
            const QChar c = rest.at(i);
            if (i == 0 && token.padded && token.width > 1 && c == QLatin1Char(' '))
                continue;
            if (!isDigit(c))
                return false;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value >= token.low && value <= token.high && matchFrom(index + 1, position + token.width, name);
    }
    case Token::Kind::Counter: {
        const qsizetype length = counterLength(rest);
        // The tool writes the whole number, so the next token never starts inside it.
        return length > 0 && matchFrom(index + 1, position + length, name);
    }
    case Token::Kind::Offset:
        return rest.size() >= 5 && (rest.front() == QLatin1Char('+') || rest.front() == QLatin1Char('-'))
            && std::all_of(rest.begin() + 1, rest.begin() + 5, [](QChar c) { return isDigit(c); })
            && matchFrom(index + 1, position + 5, name);
    case Token::Kind::Word:
        return tryRun(isWordCharacter, maxWordLength, 0, false);
    case Token::Kind::Zone:
        return tryRun(isZoneCharacter, maxZoneLength, 1, false);
    case Token::Kind::Composite:
        return tryRun(isCompositeCharacter, maxCompositeLength, 0, true);
    }
    return false;
}
