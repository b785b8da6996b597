#pragma once

#include "platform/image/HeifDecoder.h"
#include "platform/ProgramModule.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

// HEIC/HEIF through libheif, which Qt cannot read. libheif lives in the HEIF module, opened on
// the first HEIF file; without the module no HEIF file has a size or decodes. Safe to use from
// several threads at once.
class HeifImage final
{
public:
    explicit HeifImage(QStringList moduleFolders = ProgramModule::standardFolders());
    ~HeifImage();

    // As HeifDecoder's: the upright size, and the upright image within maxBytes.
    std::optional<QSize> primarySize(const QString &path) const;
    std::optional<QImage> decode(const QString &path, qint64 maxBytes) const;

private:
    const HeifDecoder *decoder() const;

    mutable ProgramModule m_module;
    mutable std::once_flag m_created;
    mutable std::unique_ptr<HeifDecoder> m_decoder;
};
