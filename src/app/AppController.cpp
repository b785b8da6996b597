#include "app/AppController.h"

#include "settings/Preferences.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

AppController::AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                             const LaunchOptions &options, QObject *parent)
    : QObject(parent)
    , m_preferences(std::make_unique<Preferences>(defaults, screenshotLocation))
    , m_options(options)
{
}

AppController::~AppController() = default;

void AppController::start()
{
    if (m_started)
        return;
    m_started = true;
    // First run (no folder yet) and demo mode open the gallery right away.
    if (!m_preferences->hasConnectedFolder() || m_options.demo)
        showGallery(false);
}

void AppController::showGallery(bool fromButton)
{
    Q_UNUSED(fromButton)
    if (!m_galleryWindow) {
        m_ownedGalleryWindow = std::make_unique<QWidget>();
        m_galleryWindow = m_ownedGalleryWindow.get();
        m_galleryWindow->setWindowTitle(tr("Brimfold"));
        m_galleryWindow->resize(720, 520);
        auto *layout = new QVBoxLayout(m_galleryWindow);
        auto *title = new QLabel(tr("Brimfold"), m_galleryWindow);
        QFont font = title->font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        font.setBold(true);
        title->setFont(font);
        layout->addWidget(title);
        auto *folder = new QLabel(m_galleryWindow);
        folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(folder);
        layout->addStretch();
        auto refreshFolder = [this, folder] { folder->setText(m_preferences->folderPath()); };
        refreshFolder();
        connect(m_preferences.get(), &Preferences::folderPathChanged, folder, refreshFolder);
    }
    m_galleryWindow->show();
    m_galleryWindow->raise();
    m_galleryWindow->activateWindow();
}
