#pragma once

#include "settings/Shortcut.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <optional>

class ElidedLabel;
class LaunchAtLogin;
class LibraryModel;
class PopupPicker;
class Preferences;
class QLabel;
class QLayout;
class QScrollArea;
class RecorderButton;
class SegmentedControl;
class SettingsButton;
class SettingsCard;
class SettingsRow;
class SettingsSwitch;
class SymbolView;
class UpdateService;
class UrlOpener;

// The content of the settings window: a header, a scrolling form of six groups (appearance,
// keyboard access, screenshot folder, text search, desktop integration, beta and updates)
// and a footer with the version and a way back to the gallery. Every control writes through
// at once and follows changes made elsewhere; there is nothing to apply or cancel.
//
// Colours come from the window's palette whenever it paints or the palette changes, so the
// owner may give the window a light or dark palette at any time.
class SettingsView final : public QWidget
{
    Q_OBJECT

public:
    // Every reference must outlive the view.
    SettingsView(Preferences &preferences, LibraryModel &model, UpdateService &updates,
                 LaunchAtLogin &launchAtLogin, UrlOpener &urls, QWidget *parent = nullptr);
    ~SettingsView() override;

    RecorderButton *recorder() const { return m_recorder; }
    // The shortcut message under the recorder row; none hides the line.
    void setShortcutError(const std::optional<QString> &error);
    // The desktop's own words for the shortcut, when the desktop runs it (Wayland); none
    // hides the line.
    void setDesktopTrigger(const std::optional<QString> &trigger);

    // The maker's support page.
    static QUrl supportUrl();

signals:
    void shortcutRecorded(const Shortcut &shortcut);   // the recorder recorded one
    void resetPositionRequested();                      // "Reset position"
    void openGalleryRequested();                        // footer "Open gallery"
    void feedbackRequested();                           // "Share beta feedback…"

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Building, one part of the window each (SettingsSections.cpp).
    QWidget *makeHeader();
    QWidget *makeSaveNotice();
    QWidget *makeSection(const QString &title, SettingsCard *card);
    QWidget *makeAppearanceSection();
    QWidget *makeKeyboardSection();
    QWidget *makeFolderSection();
    QWidget *makeTextSection();
    QWidget *makeDesktopSection();
    QWidget *makeReleaseSection();
    QWidget *makeFooter();
    // A row holding only a warning line, hidden until there is something to say.
    SettingsRow *makeWarningRow(const QString &objectName, QLabel *&label);

    // Rendering: each sets the controls from the published state they show.
    void renderPreferences();
    void renderText();
    void renderUpdates();
    void renderLoginError();
    void applyPalette();

    void launchAtLoginToggled(bool on);
    void saveFailed();
    void saved();

    Preferences &m_preferences;
    LibraryModel &m_model;
    UpdateService &m_updates;
    LaunchAtLogin &m_launchAtLogin;
    UrlOpener &m_urls;

    // View state: whether the autostart entry is on, as read when the window opened, then as
    // the user set it; and why the last change of it failed.
    bool m_launchAtLoginOn = false;
    std::optional<QString> m_loginError;
    // Set while a failed save's change signal is still to come, so it is not taken for a
    // successful one.
    bool m_saveJustFailed = false;

    QScrollArea *m_scroll = nullptr;
    QLayout *m_sections = nullptr;
    QWidget *m_saveNotice = nullptr;
    QWidget *m_footer = nullptr;
    QList<SymbolView *> m_warningSymbols;

    SettingsSwitch *m_showFloatingButton = nullptr;
    SegmentedControl *m_buttonSize = nullptr;
    SettingsSwitch *m_snapToEdges = nullptr;
    SettingsButton *m_resetPosition = nullptr;
    PopupPicker *m_appearance = nullptr;

    RecorderButton *m_recorder = nullptr;
    SettingsRow *m_shortcutErrorRow = nullptr;
    QLabel *m_shortcutError = nullptr;
    SettingsRow *m_desktopTriggerRow = nullptr;
    QLabel *m_desktopTrigger = nullptr;

    QLabel *m_folderName = nullptr;
    ElidedLabel *m_folderPath = nullptr;
    SettingsSwitch *m_includeAllImages = nullptr;

    QLabel *m_languageDescription = nullptr;
    SettingsRow *m_textStatusRow = nullptr;
    QLabel *m_textStatus = nullptr;
    SettingsButton *m_retry = nullptr;

    SettingsSwitch *m_launchAtLoginSwitch = nullptr;
    SettingsRow *m_loginErrorRow = nullptr;
    QLabel *m_loginErrorLabel = nullptr;

    SettingsRow *m_automaticChecksRow = nullptr;
    SettingsSwitch *m_automaticChecks = nullptr;
    SettingsRow *m_checkRow = nullptr;
    SettingsButton *m_checkForUpdates = nullptr;
    SettingsRow *m_localNoticeRow = nullptr;
};
