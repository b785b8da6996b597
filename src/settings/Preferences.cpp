#include "settings/Preferences.h"

#include "platform/ScreenshotLocation.h"
#include "platform/freedesktop/SettingsStore.h"

#include <QDir>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPreferences, "brimfold.settings", QtWarningMsg)

Preferences::Preferences(SettingsStore &defaults, const ScreenshotLocation &location,
                         QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
{
    m_showFloatingButton = defaults.boolean(showFloatingButtonKey).value_or(true);
    m_buttonSize = floatingButtonSizeFromRaw(defaults.string(buttonSizeKey).value_or(QString()))
                       .value_or(FloatingButtonSize::standard);
    m_snapToEdges = defaults.boolean(snapToEdgesKey).value_or(true);
    if (const auto json = defaults.data(floatingPositionKey))
        m_floatingPosition = FloatingPosition::fromJson(*json);
    m_legacyEdge = defaults.string(legacyEdgeKey).value_or(QStringLiteral("right"));
    m_appearance = defaults.string(appearanceKey).value_or(QStringLiteral("system"));
    m_includeAllImages = defaults.boolValue(includeAllImagesKey);
    if (const auto json = defaults.data(shortcutKey))
        m_shortcut = Shortcut::fromJson(*json).value_or(Shortcut());

    // The suggestion reads other tools' settings and lists folders: only worth it on a first run.
    if (const auto stored = defaults.string(folderPathKey)) {
        m_folderPath = *stored;
    } else if (const std::optional<QString> suggested = location.location();
               suggested && !suggested->isEmpty()) {
        m_folderPath = expandingTilde(*suggested);
    } else {
        m_folderPath = QDir::homePath() + QStringLiteral("/Desktop");
    }

    m_hasConnectedFolder = defaults.boolValue(hasConnectedFolderKey);
}

QUrl Preferences::folderURL() const
{
    return QUrl::fromLocalFile(m_folderPath);
}

QString Preferences::expandingTilde(const QString &path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

template <typename T, typename Signal>
void Preferences::assign(T &field, const T &value, Signal changed)
{
    const bool differs = !(field == value);
    field = value;
    save();
    if (differs)
        emit(this->*changed)(field);
}

void Preferences::setShowFloatingButton(bool value)
{
    assign(m_showFloatingButton, value, &Preferences::showFloatingButtonChanged);
}

void Preferences::setButtonSize(FloatingButtonSize value)
{
    assign(m_buttonSize, value, &Preferences::buttonSizeChanged);
}

void Preferences::setSnapToEdges(bool value)
{
    assign(m_snapToEdges, value, &Preferences::snapToEdgesChanged);
}

void Preferences::setFloatingPosition(const std::optional<FloatingPosition> &value)
{
    assign(m_floatingPosition, value, &Preferences::floatingPositionChanged);
}

void Preferences::setAppearance(const QString &value)
{
    assign(m_appearance, value, &Preferences::appearanceChanged);
}

void Preferences::setIncludeAllImages(bool value)
{
    assign(m_includeAllImages, value, &Preferences::includeAllImagesChanged);
}

void Preferences::setShortcut(const Shortcut &value)
{
    assign(m_shortcut, value, &Preferences::shortcutChanged);
}

void Preferences::setFolderPath(const QString &value)
{
    assign(m_folderPath, value, &Preferences::folderPathChanged);
}

void Preferences::setHasConnectedFolder(bool value)
{
    assign(m_hasConnectedFolder, value, &Preferences::hasConnectedFolderChanged);
}

void Preferences::save()
{
    SettingsStore::Batch batch;
    batch.setBool(showFloatingButtonKey, m_showFloatingButton);
    batch.setString(buttonSizeKey, rawValue(m_buttonSize));
    batch.setBool(snapToEdgesKey, m_snapToEdges);
    // No position, or one JSON cannot hold, leaves no key behind.
    const std::optional<QByteArray> position =
        m_floatingPosition ? m_floatingPosition->toJson() : std::nullopt;
    if (position)
        batch.setData(floatingPositionKey, *position);
    else
        batch.remove(floatingPositionKey);
    batch.setString(appearanceKey, m_appearance);
    batch.setBool(includeAllImagesKey, m_includeAllImages);
    batch.setData(shortcutKey, m_shortcut.toJson());
    batch.setString(folderPathKey, m_folderPath);
    batch.setBool(hasConnectedFolderKey, m_hasConnectedFolder);
    if (!m_defaults.write(batch)) {
        qCWarning(lcPreferences) << "settings not saved to" << m_defaults.filePath();
        emit saveFailed();
    }
}
