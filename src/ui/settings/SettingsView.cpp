#include "ui/settings/SettingsView.h"

#include "library/LibraryModel.h"
#include "platform/LaunchAtLogin.h"
#include "platform/UrlOpener.h"
#include "settings/FloatingButtonSize.h"
#include "settings/Preferences.h"
#include "settings/ReleaseInfo.h"
#include "settings/UpdateService.h"
#include "text/ScreenshotTextIndex.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/controls/ElidedLabel.h"
#include "ui/controls/PopupPicker.h"
#include "ui/controls/SegmentedControl.h"
#include "ui/controls/SettingsButton.h"
#include "ui/controls/SettingsRow.h"
#include "ui/controls/SettingsStyle.h"
#include "ui/controls/SettingsSwitch.h"
#include "ui/settings/ShortcutRecorder.h"
#include "ui/design/SymbolView.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int kWindowWidth = 570;
constexpr int kWindowHeight = 660;
constexpr int kFormMargin = 24;
constexpr int kMinimumHeight = 380;

// The stored appearance values, in the picker's order.
const QStringList &appearanceTags()
{
    static const QStringList tags{QStringLiteral("system"), QStringLiteral("light"),
                                  QStringLiteral("dark")};
    return tags;
}

// A thin scroll bar in the text colour, over nothing, as the form's only scroll bar.
QString scrollBarStyle(const QPalette &palette)
{
    const auto rgba = [](const QColor &c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(c.red())
            .arg(c.green())
            .arg(c.blue())
            .arg(c.alpha());
    };
    return QStringLiteral(
               "QScrollBar:vertical { background: transparent; width: 12px; margin: 6px 2px 6px 0; }"
               "QScrollBar::handle:vertical { background: %1; border-radius: 4px; min-height: 36px;"
               " margin: 0 2px; }"
               "QScrollBar::handle:vertical:hover { background: %2; }"
               "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
               " { background: transparent; }")
        .arg(rgba(BrimfoldDesign::primary(palette, 0.22)),
             rgba(BrimfoldDesign::primary(palette, 0.38)));
}

} // namespace

SettingsView::SettingsView(Preferences &preferences, LibraryModel &model, UpdateService &updates,
                           LaunchAtLogin &launchAtLogin, UrlOpener &urls, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
    , m_model(model)
    , m_updates(updates)
    , m_launchAtLogin(launchAtLogin)
    , m_urls(urls)
    , m_launchAtLoginOn(launchAtLogin.isEnabled())
{
    setObjectName(QStringLiteral("settingsView"));
    setWindowTitle(tr("Brimfold Settings"));
    resize(kWindowWidth, kWindowHeight);

    auto *form = new QWidget;
    form->setObjectName(QStringLiteral("settingsForm"));
    auto *sections = new QVBoxLayout(form);
    m_sections = sections;
    sections->setContentsMargins(kFormMargin, 6, kFormMargin, 26);
    sections->setSpacing(22);
    sections->addWidget(makeAppearanceSection());
    sections->addWidget(makeKeyboardSection());
    sections->addWidget(makeFolderSection());
    sections->addWidget(makeTextSection());
    sections->addWidget(makeDesktopSection());
    sections->addWidget(makeReleaseSection());
    sections->addStretch(1);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("settingsScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(form);
    // The window's own background, tint included, shows through the form.
    m_scroll->viewport()->setAutoFillBackground(false);
    form->setAutoFillBackground(false);
    m_scroll->verticalScrollBar()->installEventFilter(this);
    // The form scrolls up and down only: never narrower than its widest row plus the bar.
    setMinimumSize(form->minimumSizeHint().width() + m_scroll->verticalScrollBar()->sizeHint().width(),
                   kMinimumHeight);

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(makeHeader());
    stack->addWidget(makeSaveNotice());
    stack->addWidget(m_scroll, 1);
    m_footer = makeFooter();
    stack->addWidget(m_footer);

    // Published state in, so the controls follow changes made anywhere.
    const auto preferencesChanged = [this] {
        renderPreferences();
        saved();
    };
    connect(&m_preferences, &Preferences::showFloatingButtonChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::buttonSizeChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::snapToEdgesChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::floatingPositionChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::appearanceChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::includeAllImagesChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::shortcutChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::folderPathChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::hasConnectedFolderChanged, this, preferencesChanged);
    connect(&m_preferences, &Preferences::saveFailed, this, &SettingsView::saveFailed);
    connect(&m_model.textIndex(), &ScreenshotTextIndex::changed, this, &SettingsView::renderText);
    connect(&m_updates, &UpdateService::canCheckChanged, this, &SettingsView::renderUpdates);
    connect(&m_updates, &UpdateService::automaticallyChecksChanged, this,
            &SettingsView::renderUpdates);

    // User input out: each control writes through at once.
    connect(m_showFloatingButton, &QAbstractButton::clicked, this,
            [this](bool on) { m_preferences.setShowFloatingButton(on); });
    connect(m_buttonSize, &SegmentedControl::activated, this, [this](int index) {
        m_preferences.setButtonSize(allFloatingButtonSizes.at(std::size_t(index)));
    });
    connect(m_snapToEdges, &QAbstractButton::clicked, this,
            [this](bool on) { m_preferences.setSnapToEdges(on); });
    connect(m_resetPosition, &QAbstractButton::clicked, this,
            &SettingsView::resetPositionRequested);
    connect(m_appearance, &PopupPicker::activated, this,
            [this](int index) { m_preferences.setAppearance(appearanceTags().at(index)); });
    connect(m_recorder, &RecorderButton::recorded, this, &SettingsView::shortcutRecorded);
    connect(m_includeAllImages, &QAbstractButton::clicked, this,
            [this](bool on) { m_preferences.setIncludeAllImages(on); });
    connect(m_retry, &QAbstractButton::clicked, this, [this] {
        m_model.textIndex().retryFailures();
        // A run already going takes the retried screenshots without announcing it.
        renderText();
    });
    connect(m_launchAtLoginSwitch, &QAbstractButton::clicked, this,
            &SettingsView::launchAtLoginToggled);
    connect(m_automaticChecks, &QAbstractButton::clicked, this,
            [this](bool on) { m_updates.setAutomaticChecks(on); });
    connect(m_checkForUpdates, &QAbstractButton::clicked, this, [this] { m_updates.check(); });

    renderPreferences();
    renderText();
    renderUpdates();
    renderLoginError();
    setShortcutError(std::nullopt);
    setDesktopTrigger(std::nullopt);
    applyPalette();
}

SettingsView::~SettingsView() = default;

QUrl SettingsView::supportUrl()
{
    return QUrl(QStringLiteral("https://vellum.app/brimfold/support"));
}

void SettingsView::setShortcutError(const std::optional<QString> &error)
{
    m_shortcutError->setText(error.value_or(QString()));
    m_shortcutErrorRow->setVisible(error.has_value());
}

void SettingsView::setDesktopTrigger(const std::optional<QString> &trigger)
{
    m_desktopTrigger->setText(trigger ? tr("Your desktop runs it with %1.").arg(*trigger) : QString());
    m_desktopTriggerRow->setVisible(trigger.has_value());
}

void SettingsView::renderPreferences()
{
    m_showFloatingButton->setChecked(m_preferences.showFloatingButton());
    const auto size = std::find(allFloatingButtonSizes.cbegin(), allFloatingButtonSizes.cend(),
                                m_preferences.buttonSize());
    m_buttonSize->setCurrentIndex(int(size - allFloatingButtonSizes.cbegin()));
    m_snapToEdges->setChecked(m_preferences.snapToEdges());
    // Any other stored text is treated as "system", so that is what the picker shows.
    m_appearance->setCurrentIndex(
        std::max<qsizetype>(0, appearanceTags().indexOf(m_preferences.appearance())));
    m_recorder->setShortcut(m_preferences.shortcut());
    m_includeAllImages->setChecked(m_preferences.includeAllImages());

    const QString path = QDir::toNativeSeparators(m_preferences.folderPath());
    const QString name = QFileInfo(QDir::cleanPath(m_preferences.folderPath())).fileName();
    m_folderName->setText(name.isEmpty() ? path : name);
    m_folderPath->setText(path);
}

void SettingsView::renderText()
{
    const ScreenshotTextIndex &index = m_model.textIndex();
    m_languageDescription->setText(index.languageDescription());
    m_languageDescription->setVisible(!index.languageDescription().isEmpty());
    const std::optional<QString> status = m_model.textIndexStatus();
    m_textStatus->setText(status.value_or(QString()));
    m_textStatus->setVisible(status.has_value());
    const bool failures = !index.failedKeys().isEmpty();
    m_retry->setVisible(failures);
    m_textStatusRow->setVisible(status.has_value() || failures);
}

void SettingsView::renderUpdates()
{
    const bool configured = m_updates.isConfigured();
    m_automaticChecksRow->setVisible(configured);
    m_checkRow->setVisible(configured);
    m_localNoticeRow->setVisible(!configured);
    m_automaticChecks->setChecked(m_updates.automaticallyChecks());
    m_checkForUpdates->setEnabled(m_updates.canCheck());
}

void SettingsView::renderLoginError()
{
    m_launchAtLoginSwitch->setChecked(m_launchAtLoginOn);
    m_loginErrorLabel->setText(m_loginError.value_or(QString()));
    m_loginErrorRow->setVisible(m_loginError.has_value());
}

void SettingsView::launchAtLoginToggled(bool on)
{
    // The switch keeps what the user gave it, whether or not the desktop took it.
    m_launchAtLoginOn = on;
    if (m_launchAtLogin.setEnabled(on))
        m_loginError.reset();
    else
        m_loginError = tr("Login launch couldn’t be changed. Check that your autostart folder is "
                          "writable.");
    renderLoginError();
}

void SettingsView::saveFailed()
{
    m_saveNotice->show();
    // The failed write announces its change right after this; only later ones count as saved.
    m_saveJustFailed = true;
    QMetaObject::invokeMethod(this, [this] { m_saveJustFailed = false; }, Qt::QueuedConnection);
}

void SettingsView::saved()
{
    if (!m_saveJustFailed)
        m_saveNotice->hide();
}

void SettingsView::applyPalette()
{
    SettingsStyle::applyTones(this);
    const QColor warning = SettingsStyle::warning(palette());
    for (SymbolView *symbol : std::as_const(m_warningSymbols))
        symbol->setColour(warning);
    m_scroll->verticalScrollBar()->setStyleSheet(scrollBarStyle(palette()));
}

bool SettingsView::eventFilter(QObject *watched, QEvent *event)
{
    // The scroll bar sits in the form's right margin, so the cards stay centred in the window
    // whether or not it shows.
    if (watched == m_scroll->verticalScrollBar()
        && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        QMargins margins = m_sections->contentsMargins();
        margins.setRight(event->type() == QEvent::Show
                             ? std::max(0, kFormMargin - m_scroll->verticalScrollBar()->width())
                             : kFormMargin);
        m_sections->setContentsMargins(margins);
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
    QWidget::changeEvent(event);
}

void SettingsView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &colours = palette();
    painter.fillRect(rect(), SettingsStyle::background(colours));
    // The accent tint washes down from the top and fades out behind the first group.
    QLinearGradient tint(0, 0, 0, 300);
    const qreal strength = SettingsStyle::isDark(colours) ? 0.16 : 0.11;
    tint.setColorAt(0, BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), strength));
    tint.setColorAt(1, BrimfoldDesign::withOpacity(BrimfoldDesign::accent(), 0));
    painter.fillRect(QRect(0, 0, width(), 300), tint);
    // The footer stands apart on a faint shelf.
    const QRect shelf(0, m_footer->y(), width(), height() - m_footer->y());
    painter.fillRect(shelf, BrimfoldDesign::primary(colours, SettingsStyle::isDark(colours) ? 0.04 : 0.025));
    painter.fillRect(QRect(0, m_footer->y(), width(), 1), SettingsStyle::hairline(colours));
}
