#pragma once

class QFile;

// Whether a TIFF or a HEIF file holds all of its image, judged from its structure alone: a
// file still being written ends inside it. Reads headers only.
namespace ContainerProbe {

bool tiffComplete(QFile &file);
bool heifComplete(QFile &file);

} // namespace ContainerProbe
