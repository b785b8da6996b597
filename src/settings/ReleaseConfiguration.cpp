#include "settings/ReleaseConfiguration.h"

#include <QRegularExpression>
#include <QUrlQuery>

namespace {

std::optional<QUrl> validFeed(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty()
        || !url.userName().isEmpty() || !url.password().isEmpty())
        return std::nullopt;
    return url;
}

std::optional<QString> validKey(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    // Strict standard Base64: QByteArray's decoder would skip white space and line breaks.
    // Anchored at the very end: "$" alone would let a trailing line break through.
    static const QRegularExpression base64(QRegularExpression::anchoredPattern(
        QStringLiteral("(?:[A-Za-z0-9+/]{4})*(?:[A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?")));
    if (!base64.match(*text).hasMatch())
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(text->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 32)
        return std::nullopt;
    return text;
}

std::optional<QString> validEmail(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    static const QRegularExpression address(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9-]+(?:\\.[A-Za-z0-9-]+)+")));
    return address.match(*text).hasMatch() ? text : std::nullopt;
}

} // namespace

ReleaseConfiguration::ReleaseConfiguration(const std::optional<QString> &feedURL,
                                           const std::optional<QString> &publicKey,
                                           const std::optional<QString> &feedbackEmail)
    : m_feedURL(validFeed(feedURL))
    , m_publicKey(validKey(publicKey))
    , m_feedbackEmail(validEmail(feedbackEmail))
{
}

std::optional<QUrl> ReleaseConfiguration::feedbackDraftURL(const QString &subject, const QString &body) const
{
    if (!m_feedbackEmail)
        return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(*m_feedbackEmail);
    // Spaces as %20 and every reserved character encoded, so mail programs read the body as typed.
    const auto encoded = [](const QString &value) {
        return QString::fromLatin1(QUrl::toPercentEncoding(value));
    };
    url.setQuery(QStringLiteral("subject=%1&body=%2").arg(encoded(subject), encoded(body)), QUrl::StrictMode);
    return url;
}
