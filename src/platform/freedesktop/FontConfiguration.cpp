#include "platform/freedesktop/FontConfiguration.h"

#include "core/BackgroundPool.h"

#include <QtConcurrent/QtConcurrentRun>

#include <fontconfig/fontconfig.h>

namespace FontConfiguration {

QFuture<void> preload()
{
    return QtConcurrent::run(&BackgroundPool::shared(), [] {
        // Loads the configuration as the process's current one, which Qt then uses as it is.
        if (!FcInit())
            return;
        // Listing every face maps the font caches that Qt's own listing reads next.
        FcPattern *pattern = FcPatternCreate();
        FcObjectSet *properties = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, nullptr);
        if (pattern && properties) {
            if (FcFontSet *faces = FcFontList(nullptr, pattern, properties))
                FcFontSetDestroy(faces);
        }
        if (properties)
            FcObjectSetDestroy(properties);
        if (pattern)
            FcPatternDestroy(pattern);
    });
}

} // namespace FontConfiguration
