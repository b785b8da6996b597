#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// What the HEIF module (libbrimfold-heif.so, around libheif) offers the program: the one
// interface that crosses into it, made by the factory below. Stateless: each call opens its own
// libheif context, so calls on different files may run at once.
class HeifDecoder
{
public:
    virtual ~HeifDecoder() = default;

    // Size of the primary image from the item properties only, without decoding. Unlike the
    // other formats this is after the item's rotation, which is all libheif 1.15 reports.
    virtual std::optional<QSize> primarySize(const QString &path) const = 0;

    // The primary image decoded upright (rotation and mirroring applied by libheif). None when it
    // cannot be decoded or its pixels would take more than maxBytes (0: no limit).
    virtual std::optional<QImage> decode(const QString &path, qint64 maxBytes) const = 0;
};

// The module's factory: a new decoder the caller owns. The version in the name changes with the
// interface, so a module of another build is refused when it is opened, not misused.
#define BRIMFOLD_HEIF_FACTORY "brimfold_create_heif_decoder_v1"
extern "C" HeifDecoder *brimfold_create_heif_decoder_v1();
using HeifDecoderFactory = HeifDecoder *();
