#include "core/ScreenshotTextSearch.h"

#include <QChar>

namespace {

// White space that is a space rather than a control (general category Zs). Marks that follow
// one belong to the same user-perceived character, so they go with the separator.
bool isSpaceSeparator(char32_t c)
{
    return c == 0x0020 || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A)
        || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Characters that extend the preceding character into one grapheme cluster.
bool extendsGrapheme(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        break;
    }
    return c == 0x200C || c == 0x200D || (c >= 0x1F3FB && c <= 0x1F3FF)
        || (c >= 0xE0020 && c <= 0xE007F);
}

// The accents that diacritic folding removes: the generic combining-diacritic blocks used
// by Latin, Greek and Cyrillic, and Cyrillic's own combining marks. Marks that are part of
// a letter's identity elsewhere (kana voicing, Indic vowel signs and viramas, Arabic hamza
// on waw and yeh) are kept; Arabic vowel marks are dropped later by the Arabic table.
bool isFoldedDiacritic(char16_t c)
{
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489)
        || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF)
        || (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F);
}

// The breve over Cyrillic и and у makes letters of their own, й and Belarusian ў, not accented
// ones: "мой" is not "мои", and nobody types the one for the other (unlike е for ё, which is
// folded). `folded` ends with the base the breve follows.
bool keepsBreve(char32_t mark, const QString &folded)
{
    return mark == 0x0306 && !folded.isEmpty() && (folded.back() == u'\u0438' || folded.back() == u'\u0443');
}

// Whether a character can be the second of a canonical composition: every combining mark,
// plus the few base-class vowel signs and jamo of Indic, Tibetan, Myanmar, Hangul and
// Balinese that compose, and (to be safe) everything outside the BMP.
bool mayComposeWithPrevious(char32_t c)
{
    return QChar::combiningClass(c) != 0 || (c >= 0x0900 && c <= 0x11FF)
        || (c >= 0x1B00 && c <= 0x1B7F) || c > 0xFFFF;
}

// The Arabic table: tatweel and vowel/Quranic marks removed (nullopt), alef forms unified,
// alef maksura as yeh, both Arabic digit sets as ASCII digits. Everything else is unchanged.
std::optional<char16_t> mapArabic(char16_t c)
{
    if (c < 0x0610 || c > 0x06F9)
        return c;
    if (c == 0x0640 || c <= 0x061A || (c >= 0x064B && c <= 0x065F) || c == 0x0670
        || (c >= 0x06D6 && c <= 0x06ED))
        return std::nullopt;
    if (c == 0x0622 || c == 0x0623 || c == 0x0625 || c == 0x0671)
        return 0x0627;
    if (c == 0x0649)
        return 0x064A;
    if (c >= 0x0660 && c <= 0x0669)
        return char16_t(u'0' + (c - 0x0660));
    if (c >= 0x06F0)
        return char16_t(u'0' + (c - 0x06F0));
    return c;
}

// The code point starting at i (a lone surrogate stands for itself).
char32_t codePointAt(const QString &s, qsizetype i, qsizetype *units)
{
    const QChar c = s.at(i);
    if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, s.at(i + 1));
    }
    *units = 1;
    return c.unicode();
}

// Names are nearly always plain ASCII, and every filtering pass normalises all of them. For
// ASCII the full pipeline reduces to lower-casing and collapsing the six ASCII white space
// characters, so do just that in one pass. Gives up (nullopt) at the first non-ASCII unit.
std::optional<QString> normalizedAscii(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar *d = out.data();
    qsizetype n = 0;
    bool pendingSpace = false;
    for (const QChar ch : text) {
        char16_t c = ch.unicode();
        if (c >= 0x80)
            return std::nullopt;
        if (c == u' ' || (c >= 0x09 && c <= 0x0D)) {
            pendingSpace = n > 0;
            continue;
        }
        if (pendingSpace) {
            d[n++] = QLatin1Char(' ');
            pendingSpace = false;
        }
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        d[n++] = QChar(c);
    }
    out.truncate(n);
    return out;
}

QString normalizedUnicode(QStringView text)
{
    // NFKD is NFKC followed by canonical decomposition, which diacritic folding needs anyway.
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);

    // Accents dropped and case folded in one pass. Qt folds one character to one; sharp s is
    // the one full folding that still matters after compatibility decomposition and accent
    // removal ("Straße" should find "STRASSE").
    QString folded;
    folded.reserve(decomposed.size());
    bool needsComposition = false;
    for (qsizetype i = 0; i < decomposed.size();) {
        qsizetype units = 1;
        const char32_t c = codePointAt(decomposed, i, &units);
        i += units;
        if (units == 1 && isFoldedDiacritic(char16_t(c)) && !keepsBreve(c, folded))
            continue;
        const char32_t f = QChar::toCaseFolded(c);
        if (f == 0x00DF) {
            folded.append(QLatin1String("ss"));
            continue;
        }
        needsComposition = needsComposition || mayComposeWithPrevious(f);
        if (QChar::requiresSurrogates(f)) {
            folded.append(QChar(QChar::highSurrogate(f)));
            folded.append(QChar(QChar::lowSurrogate(f)));
        } else {
            folded.append(QChar(char16_t(f)));
        }
    }

    // Recomposing before the Arabic table keeps waw and yeh with hamza whole: decomposed,
    // their hamza would fall in the table's range of removed marks. Most names have nothing
    // left that could compose, and skip the pass.
    const QString composed =
        needsComposition ? folded.normalized(QString::NormalizationForm_C) : folded;

    QString out;
    out.reserve(composed.size());
    bool pendingSpace = false;
    bool afterSpaceSeparator = false;
    for (qsizetype i = 0; i < composed.size();) {
        qsizetype units = 1;
        const char32_t c = codePointAt(composed, i, &units);
        const qsizetype at = i;
        i += units;
        if (ScreenshotTextSearch::isWhiteSpace(c)) {
            pendingSpace = !out.isEmpty();
            afterSpaceSeparator = isSpaceSeparator(c);
            continue;
        }
        if (units == 1) {
            const std::optional<char16_t> mapped = mapArabic(char16_t(c));
            if (!mapped)
                continue;
            if (*mapped != c) {
                if (pendingSpace)
                    out.append(QLatin1Char(' '));
                pendingSpace = afterSpaceSeparator = false;
                out.append(QChar(*mapped));
                continue;
            }
        }
        if (afterSpaceSeparator && extendsGrapheme(c))
            continue;
        if (pendingSpace)
            out.append(QLatin1Char(' '));
        pendingSpace = afterSpaceSeparator = false;
        out.append(QStringView(composed).mid(at, units));
    }
    return out;
}

} // namespace

bool ScreenshotTextSearch::isWhiteSpace(char32_t c)
{
    return (c >= 0x0009 && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029
        || isSpaceSeparator(c);
}

QString ScreenshotTextSearch::normalize(QStringView text)
{
    if (auto ascii = normalizedAscii(text))
        return *std::move(ascii);
    return normalizedUnicode(text);
}

QStringList ScreenshotTextSearch::tokens(QStringView query)
{
    return normalize(query).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool ScreenshotTextSearch::matches(QStringView normalizedText, const QStringList &tokens)
{
    for (const QString &token : tokens) {
        if (!normalizedText.contains(token, Qt::CaseSensitive))
            return false;
    }
    return true;
}

std::optional<qsizetype> ScreenshotTextSearch::firstMatchingWord(QStringView text,
                                                                 const QStringList &tokens)
{
    // Every White_Space character is in the BMP, so code units are enough here.
    qsizetype begin = 0;
    while (begin < text.size() && !tokens.isEmpty()) {
        while (begin < text.size() && isWhiteSpace(text.at(begin).unicode()))
            ++begin;
        qsizetype end = begin;
        while (end < text.size() && !isWhiteSpace(text.at(end).unicode()))
            ++end;
        if (end > begin) {
            const QString word = normalize(text.mid(begin, end - begin));
            for (const QString &token : tokens) {
                if (word.contains(token))
                    return begin;
            }
        }
        begin = end;
    }
    return std::nullopt;
}
