#pragma once

#include "platform/image/SystemImageServices.h"

// The real decoders, for tests that exercise them; stateless, so one instance serves all.
inline const ImageServices &systemImages()
{
    static const SystemImageServices images;
    return images;
}
