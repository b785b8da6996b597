#pragma once

#include <QColor>
#include <QHash>
#include <QFuture>
#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;

// The symbols the views name ("pin.fill", "magnifyingglass", …) as freedesktop icon-theme
// icons. One table maps each symbol to theme names, best first. A symbol resolves to the first
// name the icon theme has, preferring the monochrome ".symbolic.png" variant that GTK themes
// such as Adwaita ship for recolouring, then whatever `QIcon::fromTheme` finds; a symbol no
// theme provides is drawn here. Icons are used as masks: `paint` tints them.
// The icon folders are listed once per process and each symbol is resolved once; tinted
// images are cached, so painting a symbol again costs a lookup. GUI thread only.
class SymbolIcons final
{
public:
    enum class Source { Theme, Drawn };
    struct Resolved
    {
        QIcon icon;
        Source source = Source::Drawn;
        QString themeName; // the theme icon used; empty when drawn
    };

    // Starts listing the icon folders in the background, so the first symbol is ready sooner;
    // called once at start-up on the GUI thread, after the QApplication is made. Resolving
    // without it lists them on the spot. `beforeFolder` runs on the listing's thread before
    // each folder is listed (tests hold or count the listing with it). Returns the listing.
    static QFuture<void> preload(std::function<void()> beforeFolder = {});
    // Stops the listing between two folders and waits for that: before the process ends it
    // must not wait for a listing that a busy machine may hardly let run. Symbols resolved
    // afterwards do without the listed files.
    static void stopListing();
    // After the listing, the files symbols of 8 to 24 design pixels are drawn from on the
    // primary screen are decoded on the listing's thread; a symbol painted later takes its
    // picture from there instead of reading the file. The decoding, and how many pictures wait.
    static QFuture<void> decodingAhead();
    static int decodedAheadCount();

    // Adds to `files` each "<size>/<context>/<name>.symbolic.png" of the theme folder that is a
    // file or a link to one, for the given icon names: name → paths, sizes and contexts in
    // name order. `beforeFolder` runs before each folder is listed; false stops the listing,
    // and then this returns false. A missing theme folder adds nothing.
    static bool listSymbolicFiles(const QString &themeFolder, const QStringList &names,
                                  QHash<QString, QStringList> &files, const std::function<bool()> &beforeFolder = {});

    // Every symbol the views use.
    static QStringList symbols();
    // The theme names a symbol maps to, best first; empty for an unknown symbol.
    static QStringList themeNames(const QString &symbol);

    // Waits for the icon folders' listing when preload() started it and it is not done yet.
    static Resolved resolve(const QString &symbol);
    // Never waits: while the listing started by preload() runs, the icon paints the drawn
    // symbol, and the theme's once it is done; visible windows are repainted then.
    static QIcon icon(const QString &symbol);
    // The drawn stand-in for a symbol (a neutral rounded square for an unknown one).
    static QIcon drawnIcon(const QString &symbol);

    // The icon at `side` × `side` design pixels for a screen of `devicePixelRatio`, every
    // opaque pixel replaced by `colour` (its alpha kept as coverage).
    static QImage tinted(const QIcon &icon, int side, const QColor &colour,
                         qreal devicePixelRatio = 1.0);
    // Draws the tinted icon `side` pixels square, centred in `rect`.
    static void paint(QPainter &painter, const QRectF &rect, const QIcon &icon, int side,
                      const QColor &colour);

private:
    static Resolved resolveUncached(const QString &symbol);
    static QImage tintedUncached(const QIcon &icon, int side, const QColor &colour, qreal devicePixelRatio);
};
