#pragma once

#include "settings/FloatingButtonSize.h"
#include "settings/FloatingPosition.h"
#include "settings/Shortcut.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class ScreenshotLocation;
class SettingsStore;

// Every user setting, read once from the store when made and written back in full after
// each write of any field, so the file always holds one consistent set.
//
// Stored values of the wrong type, unknown size names and undecodable records load as
// the field's default without complaint; the bad value stays in the store until the next
// save replaces it. Loading never writes.
class Preferences final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showFloatingButton READ showFloatingButton WRITE setShowFloatingButton
                   NOTIFY showFloatingButtonChanged)
    Q_PROPERTY(FloatingButtonSize buttonSize READ buttonSize WRITE setButtonSize
                   NOTIFY buttonSizeChanged)
    Q_PROPERTY(bool snapToEdges READ snapToEdges WRITE setSnapToEdges NOTIFY snapToEdgesChanged)
    Q_PROPERTY(std::optional<FloatingPosition> floatingPosition READ floatingPosition
                   WRITE setFloatingPosition NOTIFY floatingPositionChanged)
    Q_PROPERTY(QString legacyEdge READ legacyEdge CONSTANT)
    Q_PROPERTY(QString appearance READ appearance WRITE setAppearance NOTIFY appearanceChanged)
    Q_PROPERTY(bool includeAllImages READ includeAllImages WRITE setIncludeAllImages
                   NOTIFY includeAllImagesChanged)
    Q_PROPERTY(Shortcut shortcut READ shortcut WRITE setShortcut NOTIFY shortcutChanged)
    Q_PROPERTY(QString folderPath READ folderPath WRITE setFolderPath NOTIFY folderPathChanged)
    Q_PROPERTY(QUrl folderURL READ folderURL NOTIFY folderPathChanged)
    Q_PROPERTY(bool hasConnectedFolder READ hasConnectedFolder WRITE setHasConnectedFolder
                   NOTIFY hasConnectedFolderChanged)

public:
    // The keys of the store. The library model keeps its own two in the same store.
    static constexpr const char *showFloatingButtonKey = "showFloatingButton";
    static constexpr const char *buttonSizeKey = "buttonSize";
    static constexpr const char *snapToEdgesKey = "snapToEdges";
    static constexpr const char *floatingPositionKey = "floatingPosition";
    static constexpr const char *legacyEdgeKey = "edge";
    static constexpr const char *appearanceKey = "appearance";
    static constexpr const char *includeAllImagesKey = "includeAllImages";
    static constexpr const char *shortcutKey = "shortcut";
    static constexpr const char *folderPathKey = "folderPath";
    static constexpr const char *hasConnectedFolderKey = "hasConnectedFolder";
    static constexpr const char *libraryStateKey = "libraryState";

    // Reads every field from `defaults`; `location` supplies the suggested folder.
    // `defaults` must outlive this object.
    explicit Preferences(SettingsStore &defaults, const ScreenshotLocation &location,
                         QObject *parent = nullptr);

    SettingsStore &defaults() const { return m_defaults; }

    bool showFloatingButton() const { return m_showFloatingButton; }
    FloatingButtonSize buttonSize() const { return m_buttonSize; }
    bool snapToEdges() const { return m_snapToEdges; }
    const std::optional<FloatingPosition> &floatingPosition() const { return m_floatingPosition; }
    // The screen edge an earlier version stored; never written.
    const QString &legacyEdge() const { return m_legacyEdge; }
    // "system", "light" or "dark"; any other stored text is kept as it is.
    const QString &appearance() const { return m_appearance; }
    bool includeAllImages() const { return m_includeAllImages; }
    const Shortcut &shortcut() const { return m_shortcut; }
    const QString &folderPath() const { return m_folderPath; }
    QUrl folderURL() const;
    bool hasConnectedFolder() const { return m_hasConnectedFolder; }

    // Each writer saves every field, even when the value did not change, and announces
    // the change (after saving) only when it did.
    void setShowFloatingButton(bool value);
    void setButtonSize(FloatingButtonSize value);
    void setSnapToEdges(bool value);
    void setFloatingPosition(const std::optional<FloatingPosition> &value);
    void setAppearance(const QString &value);
    void setIncludeAllImages(bool value);
    void setShortcut(const Shortcut &value);
    void setFolderPath(const QString &value);
    void setHasConnectedFolder(bool value);

    // "~" and "~/…" with the home folder put in; other text unchanged.
    static QString expandingTilde(const QString &path);

signals:
    void showFloatingButtonChanged(bool value);
    void buttonSizeChanged(FloatingButtonSize value);
    void snapToEdgesChanged(bool value);
    void floatingPositionChanged(const std::optional<FloatingPosition> &value);
    void appearanceChanged(const QString &value);
    void includeAllImagesChanged(bool value);
    void shortcutChanged(const Shortcut &value);
    void folderPathChanged(const QString &value);
    void hasConnectedFolderChanged(bool value);
    // The store could not write the settings; the values in memory are still the new ones.
    void saveFailed();

private:
    template <typename T, typename Signal>
    void assign(T &field, const T &value, Signal changed);
    void save();

    SettingsStore &m_defaults;
    bool m_showFloatingButton = true;
    FloatingButtonSize m_buttonSize = FloatingButtonSize::standard;
    bool m_snapToEdges = true;
    std::optional<FloatingPosition> m_floatingPosition;
    QString m_legacyEdge;
    QString m_appearance;
    bool m_includeAllImages = false;
    Shortcut m_shortcut;
    QString m_folderPath;
    bool m_hasConnectedFolder = false;
};
