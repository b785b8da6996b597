#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// What a release build carries about where updates and feedback go. Each value is checked
// when the record is made; one that fails its check is simply absent.
class ReleaseConfiguration final
{
public:
    ReleaseConfiguration() = default;
    // feedURL: https only, with a host and without user name or password.
    // publicKey: standard Base64 (no white space) of exactly 32 bytes, an Ed25519 key.
    // feedbackEmail: a plain address whose domain has at least one dot.
    ReleaseConfiguration(const std::optional<QString> &feedURL, const std::optional<QString> &publicKey,
                         const std::optional<QString> &feedbackEmail);

    const std::optional<QUrl> &feedURL() const { return m_feedURL; }
    const std::optional<QString> &publicKey() const { return m_publicKey; }
    const std::optional<QString> &feedbackEmail() const { return m_feedbackEmail; }

    bool updatesConfigured() const { return m_feedURL && m_publicKey; }
    // mailto:<address>?subject=…&body=…; none without a feedback address.
    std::optional<QUrl> feedbackDraftURL(const QString &subject, const QString &body) const;

private:
    std::optional<QUrl> m_feedURL;
    std::optional<QString> m_publicKey;
    std::optional<QString> m_feedbackEmail;
};
