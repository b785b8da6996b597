#include "ui/design/SymbolIcons.h"

#include "core/WhenFinished.h"
#include "ui/design/DrawnSymbols.h"

#include <QCache>
#include <QFuture>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <QDir>
#include <QHash>
#include <QIconEngine>
#include <QImageReader>
#include <QMap>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QWidget>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <QThreadPool>

#include <array>
#include <atomic>
#include <mutex>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

namespace {

struct SymbolEntry
{
    const char *symbol;
    std::array<const char *, 2> themeNames; // null-terminated when shorter
};

// Symbol → freedesktop icon names, best first. Adwaita has the first name of every entry.
constexpr SymbolEntry kSymbols[] = {
    {"arrow.up.left.and.arrow.down.right", {"view-fullscreen-symbolic", "view-fullscreen"}},
    {"checkmark", {"object-select-symbolic", "emblem-ok-symbolic"}},
    {"checkmark.circle.fill", {"emblem-default-symbolic", "emblem-default"}},
    {"ellipsis", {"view-more-horizontal-symbolic", "view-more-symbolic"}},
    {"exclamationmark.circle", {"dialog-warning-symbolic", "dialog-warning"}},
    {"exclamationmark.circle.fill", {"dialog-warning-symbolic", "dialog-warning"}},
    {"eye", {"view-reveal-symbolic", "view-visible-symbolic"}},
    {"folder", {"folder-symbolic", "folder"}},
    {"folder.badge.plus", {"folder-new-symbolic", "folder-new"}},
    {"folder.badge.questionmark", {"folder-symbolic", "folder"}},
    {"gearshape", {"emblem-system-symbolic", "preferences-system-symbolic"}},
    {"magnifyingglass", {"edit-find-symbolic", "system-search-symbolic"}},
    {"photo", {"image-x-generic-symbolic", "image-x-generic"}},
    {"pin", {"view-pin-symbolic", nullptr}},
    {"pin.fill", {"view-pin-symbolic", nullptr}},
    {"square.and.arrow.up", {"send-to-symbolic", "document-send-symbolic"}},
    {"square.on.square", {"edit-copy-symbolic", "edit-copy"}},
    {"text.viewfinder", {"scanner-symbolic", "insert-text-symbolic"}},
    {"trash", {"user-trash-symbolic", "user-trash"}},
    {"viewfinder", {"applets-screenshooter-symbolic", "camera-photo-symbolic"}},
    {"xmark", {"window-close-symbolic", "window-close"}},
    {"xmark.circle.fill", {"edit-clear-symbolic", "edit-clear"}},
};

const SymbolEntry *entryFor(const QString &symbol)
{
    for (const SymbolEntry &entry : kSymbols) {
        if (symbol == QLatin1String(entry.symbol))
            return &entry;
    }
    return nullptr;
}

// Folders that hold icon themes: Qt's search paths plus the XDG ones (Qt's list is only its
// own resources when no desktop theme plugin is loaded).
QStringList iconBaseDirs()
{
    QStringList dirs = QIcon::themeSearchPaths();
    dirs << QDir::homePath() + QStringLiteral("/.icons");
    dirs << QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                      QStandardPaths::LocateDirectory);
    dirs.removeDuplicates();
    return dirs;
}

QStringList themesToSearch()
{
    // Adwaita is the symbol set the program is packaged with; the user's theme comes first.
    QStringList themes{QIcon::themeName(), QIcon::fallbackThemeName(), QStringLiteral("Adwaita")};
    themes.removeAll(QString());
    themes.removeDuplicates();
    return themes;
}

// Every "<base>/<theme>/<size>/<context>/<name>.symbolic.png" of the names the symbols use, by
// theme and name. The theme folders hold a few hundred subfolders; they are listed once per
// process instead of being probed for every symbol.
using SymbolicIndex = QHash<QString, QHash<QString, QStringList>>; // theme → name → files

// The icon names of every symbol, each once.
QStringList allThemeNames()
{
    QStringList names;
    for (const QString &symbol : SymbolIcons::symbols())
        names << SymbolIcons::themeNames(symbol);
    names.removeDuplicates();
    return names;
}

// Whether a folder entry is a file that can be read, or a link to one, as QDir::Files counts it.
bool isFileEntry(const dirent &entry, const QByteArray &folder)
{
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat status {};
    return ::stat((folder + '/' + entry.d_name).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// Stops between folders once `promise` is cancelled, leaving no result. `beforeFolder` runs
// before each folder is listed.
void buildSymbolicIndex(QPromise<SymbolicIndex> &promise, const QStringList &baseDirs, const QStringList &themes,
                        const QStringList &names, const std::function<void()> &beforeFolder)
{
    SymbolicIndex index;
    for (const QString &theme : themes) {
        QHash<QString, QStringList> &files = index[theme];
        for (const QString &base : baseDirs) {
            const bool listed = SymbolIcons::listSymbolicFiles(base + QLatin1Char('/') + theme, names, files, [&] {
                if (beforeFolder)
                    beforeFolder();
                return !promise.isCanceled();
            });
            if (!listed)
                return;
        }
    }
    promise.addResult(std::move(index));
}

// The listing runs on a thread of its own at idle priority, so it never takes a core from the
// first paint; on a busy machine that thread may hardly run. Ending the process therefore stops
// the listing instead of waiting for it, which could take a minute.
struct Listing
{
    Listing()
    {
        pool.setMaxThreadCount(1);
        pool.setThreadPriority(QThread::IdlePriority);
    }
    ~Listing() { SymbolIcons::stopListing(); }
    QThreadPool pool;
    QFuture<SymbolicIndex> future;
    QFuture<void> decoding;
    // Images decoded ahead, by path, until the first paint that needs them takes them.
    std::mutex decodedMutex;
    QHash<QString, QImage> decoded;
    std::atomic_bool stopDecoding = false;
};

Listing &listing()
{
    static Listing instance;
    return instance;
}

QFuture<SymbolicIndex> &indexing() { return listing().future; }

// Whether a symbol can be resolved without waiting for the icon folders to be listed.
bool indexReady()
{
    return !indexing().isValid() || indexing().isFinished();
}

const SymbolicIndex &symbolicIndex()
{
    static const SymbolicIndex index = [] {
        if (!indexing().isValid())
            SymbolIcons::preload();
        indexing().waitForFinished();
        return indexing().resultCount() > 0 ? indexing().result() : SymbolicIndex();
    }();
    return index;
}

// Named as PNG, read as PNG: left to guess, Qt's reader loads every image-format plugin it has
// (and their libraries) to ask each whether it knows the file, a few milliseconds before the
// first paint.
QImage readPngImage(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// The file's picture: the one decoded ahead when there is one, taken so it is held once.
QPixmap readPng(const QString &path)
{
    QImage image;
    {
        const std::lock_guard lock(listing().decodedMutex);
        image = listing().decoded.take(path);
    }
    if (image.isNull())
        image = readPngImage(path);
    return QPixmap::fromImage(std::move(image));
}

// A theme's symbolic PNGs of one icon name, by the side they are drawn for.
QMap<int, QString> sizedFiles(const QStringList &files)
{
    QMap<int, QString> sized;
    for (const QString &file : files) {
        // ".../<theme>/16x16/<context>/<name>.symbolic.png"; a "@2" folder holds double size.
        const QString sizeDir = QFileInfo(QFileInfo(file).path()).path().section(u'/', -1);
        const int side = sizeDir.section(u'x', 0, 0).toInt() * (sizeDir.contains(QLatin1String("@2")) ? 2 : 1);
        if (side > 0)
            sized.insert(side, file);
    }
    return sized;
}

// The files of the first name and theme that has any, as a symbol resolves them.
QMap<int, QString> symbolFiles(const SymbolicIndex &index, const QStringList &themes, const QStringList &names)
{
    for (const QString &name : names) {
        for (const QString &theme : themes) {
            QMap<int, QString> sized = sizedFiles(index.value(theme).value(name));
            if (!sized.isEmpty())
                return sized;
        }
    }
    return {};
}

// Symbols are drawn 8 to 24 design pixels square: the files a screen of `devicePixelRatio`
// draws those sizes from are decoded here, on the listing's thread, so the first paint copies
// them instead of reading a few dozen PNGs.
void decodeAhead(const SymbolicIndex &index, const QStringList &themes, qreal devicePixelRatio)
{
    QStringList files;
    for (const QString &symbol : SymbolIcons::symbols()) {
        const QMap<int, QString> sized = symbolFiles(index, themes, SymbolIcons::themeNames(symbol));
        const auto first = sized.lowerBound(qRound(8 * devicePixelRatio));
        auto last = sized.lowerBound(qRound(24 * devicePixelRatio));
        if (last != sized.end())
            ++last;
        for (auto file = first; file != last; ++file) {
            if (!files.contains(*file))
                files.append(*file);
        }
    }
    for (const QString &file : std::as_const(files)) {
        if (listing().stopDecoding)
            return;
        QImage image = readPngImage(file);
        if (image.isNull())
            continue;
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        const std::lock_guard lock(listing().decodedMutex);
        listing().decoded.insert(file, std::move(image));
    }
}

// A drawn symbol, drawn at the size it is asked for when it is first painted: most are never
// painted, since the theme's take over once the icon folders are listed.
class DrawnSymbolEngine final : public QIconEngine
{
public:
    explicit DrawnSymbolEngine(QString symbol) : m_symbol(std::move(symbol)) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::max(1, std::max(size.width(), size.height()));
        auto drawn = m_drawn.constFind(side);
        if (drawn == m_drawn.cend())
            drawn = m_drawn.insert(side, draw(side));
        return *drawn;
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::max(size.width(), size.height());
        return QSize(side, side);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }
    QIconEngine *clone() const override { return new DrawnSymbolEngine(m_symbol); }
    QString key() const override { return QStringLiteral("DrawnSymbolEngine"); }
    bool isNull() override { return false; }

private:
    QPixmap draw(int side) const
    {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(side / DrawnSymbols::grid, side / DrawnSymbols::grid);
        DrawnSymbols::draw(painter, m_symbol);
        painter.end();
        return QPixmap::fromImage(image);
    }

    QString m_symbol;
    QHash<int, QPixmap> m_drawn; // side → picture
};

// An icon made of the theme's sized files that decodes only the size it is asked for (QIcon's
// own addFile decodes every file at once).
class SymbolicFilesEngine final : public QIconEngine
{
public:
    explicit SymbolicFilesEngine(QMap<int, QString> files) : m_files(std::move(files)) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        // The smallest file at least as large as asked, else the largest.
        const int wanted = std::max(size.width(), size.height());
        auto file = m_files.lowerBound(wanted);
        if (file == m_files.end())
            file = std::prev(m_files.end());
        auto loaded = m_loaded.constFind(file.key());
        if (loaded == m_loaded.cend())
            loaded = m_loaded.insert(file.key(), readPng(file.value()));
        return loaded->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : m_files.keys())
            sizes.append(QSize(side, side));
        return sizes;
    }
    QIconEngine *clone() const override { return new SymbolicFilesEngine(m_files); }
    QString key() const override { return QStringLiteral("SymbolicFilesEngine"); }
    bool isNull() override { return m_files.isEmpty(); }

private:
    QMap<int, QString> m_files; // side → file
    QHash<int, QPixmap> m_loaded;
};

// A symbol asked for while the icon folders are still being listed, so that no window waits for
// the listing before its first paint: it shows the drawn symbol until the listing is done, and
// the theme's from then on (the windows are repainted when it is).
class PendingSymbolEngine final : public QIconEngine
{
public:
    PendingSymbolEngine(QString symbol, QIcon drawn) : m_symbol(std::move(symbol)), m_drawn(std::move(drawn)) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return current().pixmap(size, mode, state);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        current().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return current().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return current().availableSizes(mode, state);
    }
    QIconEngine *clone() const override { return new PendingSymbolEngine(m_symbol, m_drawn); }
    QString key() const override { return QStringLiteral("PendingSymbolEngine"); }
    bool isNull() override { return false; }

private:
    QIcon current() const { return indexReady() ? SymbolIcons::resolve(m_symbol).icon : m_drawn; }

    QString m_symbol;
    QIcon m_drawn;
};

// The symbolic PNGs of the first theme that has the icon.
QIcon symbolicPngIcon(const QString &name)
{
    QMap<int, QString> sized = symbolFiles(symbolicIndex(), themesToSearch(), {name});
    if (sized.isEmpty())
        return {};
    return QIcon(new SymbolicFilesEngine(std::move(sized)));
}

} // namespace

QFuture<void> SymbolIcons::preload(std::function<void()> beforeFolder)
{
    if (indexing().isValid())
        return QFuture<void>(indexing());
    // Which folders and themes is asked here, on the GUI thread; the listing runs on its own.
    indexing() = QtConcurrent::run(&listing().pool, [dirs = iconBaseDirs(), themes = themesToSearch(),
                                                     names = allThemeNames(), beforeFolder = std::move(beforeFolder)](
                                                        QPromise<SymbolicIndex> &promise) {
        buildSymbolicIndex(promise, dirs, themes, names, beforeFolder);
    });
    const QScreen *screen = QGuiApplication::primaryScreen();
    listing().stopDecoding = false;
    // Qt's image reader must not run while the process ends: its globals go before ours, and
    // a decoding still under way would use them. Done when the application object goes.
    qAddPostRoutine(&SymbolIcons::stopListing);
    listing().decoding = indexing().then(&listing().pool, [themes = themesToSearch(),
                                                           dpr = screen ? screen->devicePixelRatio() : 1.0](
                                                              const SymbolicIndex &index) {
        decodeAhead(index, themes, dpr);
    });
    // Symbols painted before the listing was done were drawn ones.
    whenFinished(indexing(), qApp, [](const SymbolicIndex &) {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                window->update();
        }
    });
    return QFuture<void>(indexing());
}

bool SymbolIcons::listSymbolicFiles(const QString &themeFolder, const QStringList &names,
                                    QHash<QString, QStringList> &files, const std::function<bool()> &beforeFolder)
{
    // Only the names asked for are kept, compared as the bytes the folder holds: a theme has
    // thousands of files, and making a string, a path and an entry of each cost most of the time.
    const QString suffix = QStringLiteral(".symbolic.png");
    QHash<QByteArray, QString> wanted;
    for (const QString &name : names)
        wanted.insert(QFile::encodeName(name + suffix), name);

    const QDir themeDir(themeFolder);
    if (!themeDir.exists())
        return true;
    for (const QString &sizeDir : themeDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir sized(themeDir.filePath(sizeDir));
        for (const QString &context : sized.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (beforeFolder && !beforeFolder())
                return false;
            const QString folder = sized.filePath(context);
            const QByteArray nativeFolder = QFile::encodeName(folder);
            DIR *listing = ::opendir(nativeFolder.constData());
            if (!listing)
                continue;
            while (const dirent *entry = ::readdir(listing)) {
                const qsizetype length = qsizetype(std::strlen(entry->d_name));
                const auto name = wanted.constFind(QByteArray::fromRawData(entry->d_name, length));
                if (name != wanted.cend() && isFileEntry(*entry, nativeFolder))
                    files[*name].append(folder + QLatin1Char('/') + *name + suffix);
            }
            ::closedir(listing);
        }
    }
    return true;
}

void SymbolIcons::stopListing()
{
    // A finished listing is left alone: its index is in use until the end.
    if (!indexing().isFinished())
        indexing().cancel();
    listing().stopDecoding = true;
    listing().pool.waitForDone();
}

QFuture<void> SymbolIcons::decodingAhead()
{
    return listing().decoding;
}

int SymbolIcons::decodedAheadCount()
{
    const std::lock_guard lock(listing().decodedMutex);
    return int(listing().decoded.size());
}

QIcon SymbolIcons::icon(const QString &symbol)
{
    if (!indexReady())
        return QIcon(new PendingSymbolEngine(symbol, drawnIcon(symbol)));
    return resolve(symbol).icon;
}

QStringList SymbolIcons::symbols()
{
    QStringList result;
    for (const SymbolEntry &entry : kSymbols)
        result << QString::fromLatin1(entry.symbol);
    return result;
}

QStringList SymbolIcons::themeNames(const QString &symbol)
{
    QStringList names;
    if (const SymbolEntry *entry = entryFor(symbol)) {
        for (const char *name : entry->themeNames) {
            if (name)
                names << QString::fromLatin1(name);
        }
    }
    return names;
}

SymbolIcons::Resolved SymbolIcons::resolve(const QString &symbol)
{
    // Resolved once per symbol: the icon keeps the files it decoded, so later paints reuse them.
    static QHash<QString, Resolved> resolved;
    if (const auto known = resolved.constFind(symbol); known != resolved.cend())
        return *known;
    const Resolved result = resolveUncached(symbol);
    resolved.insert(symbol, result);
    return result;
}

SymbolIcons::Resolved SymbolIcons::resolveUncached(const QString &symbol)
{
    const QStringList names = themeNames(symbol);
    if (!names.isEmpty()) {
        for (const QString &name : names) {
            const QIcon icon = symbolicPngIcon(name);
            if (!icon.isNull())
                return {icon, Source::Theme, name};
        }
        for (const QString &name : names) {
            if (QIcon::hasThemeIcon(name))
                return {QIcon::fromTheme(name), Source::Theme, name};
        }
    }
    return {drawnIcon(symbol), Source::Drawn, QString()};
}

QIcon SymbolIcons::drawnIcon(const QString &symbol)
{
    return QIcon(new DrawnSymbolEngine(symbol));
}

QImage SymbolIcons::tinted(const QIcon &icon, int side, const QColor &colour,
                           qreal devicePixelRatio)
{
    // Views repaint their symbols often and with few colours: keep the recent tints.
    static QCache<QString, QImage> cache(256);
    // A pending symbol paints differently once the icon folders are listed.
    const QString key = QStringLiteral("%1/%2/%3/%4/%5")
                            .arg(icon.cacheKey())
                            .arg(side)
                            .arg(colour.rgba())
                            .arg(devicePixelRatio)
                            .arg(indexReady());
    if (const QImage *cached = cache.object(key))
        return *cached;
    const QImage image = tintedUncached(icon, side, colour, devicePixelRatio);
    cache.insert(key, new QImage(image));
    return image;
}

QImage SymbolIcons::tintedUncached(const QIcon &icon, int side, const QColor &colour, qreal devicePixelRatio)
{
    const int pixels = std::max(1, qRound(side * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Picked at device pixels so the sharpest size of the theme is used, never upscaled blur.
    const QPixmap source = icon.pixmap(QSize(pixels, pixels));
    if (!source.isNull()) {
        const QSize drawn = source.size().scaled(pixels, pixels, Qt::KeepAspectRatio);
        painter.drawPixmap(QRect(QPoint((pixels - drawn.width()) / 2, (pixels - drawn.height()) / 2),
                                 drawn),
                           source);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void SymbolIcons::paint(QPainter &painter, const QRectF &rect, const QIcon &icon, int side,
                        const QColor &colour)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage image = tinted(icon, side, colour, dpr);
    const QPointF topLeft(rect.center().x() - side / 2.0, rect.center().y() - side / 2.0);
    painter.drawImage(QRectF(topLeft, QSizeF(side, side)), image);
}
