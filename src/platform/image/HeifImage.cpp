#include "platform/image/HeifImage.h"

HeifImage::HeifImage(QStringList moduleFolders)
    : m_module(QStringLiteral("libbrimfold-heif.so"), BRIMFOLD_HEIF_FACTORY, std::move(moduleFolders))
{
}

// Declared here so that the decoder is deleted while its module is still referenced.
HeifImage::~HeifImage() = default;

const HeifDecoder *HeifImage::decoder() const
{
    std::call_once(m_created, [this] {
        if (auto *create = m_module.factoryAs<HeifDecoderFactory>())
            m_decoder.reset(create());
    });
    return m_decoder.get();
}

std::optional<QSize> HeifImage::primarySize(const QString &path) const
{
    const HeifDecoder *heif = decoder();
    return heif ? heif->primarySize(path) : std::nullopt;
}

std::optional<QImage> HeifImage::decode(const QString &path, qint64 maxBytes) const
{
    const HeifDecoder *heif = decoder();
    return heif ? heif->decode(path, maxBytes) : std::nullopt;
}
