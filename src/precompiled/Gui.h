// Headers nearly every source of the libraries above the core includes, compiled once per
// library: parsing Qt's headers was most of each file's compile time.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>
