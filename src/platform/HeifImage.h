#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// HEIC/HEIF through libheif, which Qt cannot read. Each call opens its own libheif context, so
// calls on different files may run at once.
namespace HeifImage {

// Size of the primary image from the item properties only, without decoding. Unlike the other
// formats this is after the item's rotation, which is all libheif 1.15 reports.
std::optional<QSize> primarySize(const QString &path);

// The primary image decoded upright (rotation and mirroring applied by libheif). None when it
// cannot be decoded or its pixels would take more than maxBytes (0: no limit).
std::optional<QImage> decode(const QString &path, qint64 maxBytes);

} // namespace HeifImage
