#include "text/TextRecognitionCapabilities.h"

bool TextRecognitionCapabilities::supportsArabic() const
{
    for (const QString &language : languages) {
        if (language.startsWith(QLatin1String("ar-")))
            return true;
    }
    return false;
}

QString TextRecognitionCapabilities::description() const
{
    return supportsArabic()
        ? QStringLiteral(u"English & Arabic \u00B7 On this computer")
        : QStringLiteral(u"English \u00B7 Arabic recognition isn\u2019t installed on this system");
}
