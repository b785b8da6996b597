#pragma once

#include "library/LibraryModel.h"

#include <functional>
#include <memory>

class Accessibility;
class ActiveWindow;
class Displays;
class HotKeySource;
class PortalHotKeySource;
class ImageServices;
class ShareServices;
class Clipboard;
class UrlOpener;
class ColorScheme;
class SleepWatcher;
class LaunchAtLogin;

// What the running program takes from the system, made in one place and handed down: the
// views and the library never create a service themselves. Tests build the same set from
// fakes.
struct AppServices final
{
    std::unique_ptr<ImageServices> images;
    std::unique_ptr<Accessibility> accessibility;
    std::unique_ptr<ShareServices> share;
    std::unique_ptr<Displays> displays;
    std::unique_ptr<ActiveWindow> activeWindow;
    std::unique_ptr<HotKeySource> hotKeys;
    // Only in a Wayland session, where the grab misses keys typed into native windows.
    std::unique_ptr<PortalHotKeySource> hotKeyPortal;
    // For the feedback window; the library has its own.
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<UrlOpener> urls;
    std::unique_ptr<ColorScheme> colorScheme;
    std::unique_ptr<SleepWatcher> sleep;
    std::unique_ptr<LaunchAtLogin> launchAtLogin;
    // Makes the library's services once, when the library is first needed; it receives the
    // image services above.
    std::function<LibraryModel::Services(const ImageServices &images)> makeLibraryServices;

    AppServices();
    ~AppServices();
    AppServices(AppServices &&) noexcept;
    AppServices &operator=(AppServices &&) noexcept;

    // The services of this desktop, for a normal or a demo copy (which keeps its text cache
    // apart). Needs the QApplication.
    static AppServices system(bool demo);
    // $XDG_DATA_HOME/<AppIdentity::id(demo)>/ScreenshotText-v1: a demo copy keeps its own.
    static QString textCacheDirectory(bool demo);
};
