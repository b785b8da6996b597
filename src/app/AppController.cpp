#include "app/AppController.h"

#include "library/LibraryModel.h"
#include "platform/ImageServices.h"
#include "platform/SystemAccessibility.h"
#include "platform/SystemShareServices.h"
#include "settings/Preferences.h"
#include "ui/BrimfoldDesign.h"
#include "ui/FocusRequests.h"
#include "ui/FolderDialogPicker.h"
#include "ui/GalleryView.h"
#include "ui/PreviewWindow.h"
#include "ui/ThumbnailCache.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

AppController::AppController(SettingsStore &defaults, const ScreenshotLocation &screenshotLocation,
                             const LaunchOptions &options, QObject *parent)
    : QObject(parent)
    , m_preferences(std::make_unique<Preferences>(defaults, screenshotLocation))
    , m_options(options)
{
}

// Views go before the model and services they observe.
AppController::~AppController()
{
    m_preview.reset();
    m_galleryWindow.reset();
}

LibraryModel &AppController::model()
{
    if (!m_model) {
        LibraryModel::Services services = LibraryModel::makeSystemServices(m_options.demo);
        services.folderPicker = std::make_unique<FolderDialogPicker>();
        m_model = std::make_unique<LibraryModel>(*m_preferences, std::move(services));
    }
    return *m_model;
}

void AppController::handleArrival()
{
    // The dot on the floating button says "new since you last looked".
    if (!m_galleryWindow || !m_galleryWindow->isVisible())
        m_model->setHasNewScreenshots(true);
}

void AppController::start()
{
    if (m_started)
        return;
    m_started = true;
    LibraryModel &library = model();
    library.setOnArrival([this] { handleArrival(); });
    library.start();
    // First run (no folder yet) and demo mode open the gallery right away.
    if (!m_preferences->hasConnectedFolder() || m_options.demo)
        showGallery(false);
}

void AppController::createGalleryWindow()
{
    m_accessibility = std::make_unique<SystemAccessibility>();
    m_thumbnails = std::make_unique<ThumbnailCache>(ImageServices::system());
    m_share = std::make_unique<SystemShareServices>();
    m_focusRequests = std::make_unique<FocusRequests>();
    m_preview = std::make_unique<PreviewWindow>(ImageServices::system());

    m_galleryWindow = std::make_unique<QWidget>();
    m_galleryWindow->setWindowTitle(tr("Brimfold"));
    m_galleryWindow->setWindowIcon(BrimfoldDesign::windowIcon());
    auto *layout = new QVBoxLayout(m_galleryWindow.get());
    layout->setContentsMargins(0, 0, 0, 0);

    GalleryView::Callbacks callbacks;
    callbacks.onClose = [this] { hideGallery(); };
    // The settings window is not part of this build yet; the gallery hides its button's effect.
    callbacks.onSettings = [] {};
    callbacks.onPreview = [this](const Screenshot &item) { m_preview->toggle(item); };
    m_galleryView = new GalleryView(model(), *m_preferences, m_options.demo, *m_accessibility,
                                    *m_thumbnails, *m_share, *m_focusRequests,
                                    std::move(callbacks), m_galleryWindow.get());
    layout->addWidget(m_galleryView);
    m_galleryWindow->resize(760, 640);
    installGalleryKeys();
}

void AppController::installGalleryKeys()
{
    QWidget *window = m_galleryWindow.get();
    auto onSelected = [this](void (LibraryModel::*action)(const Screenshot &)) {
        return [this, action] {
            if (const std::optional<Screenshot> item = m_model->selected())
                (m_model.get()->*action)(*item);
        };
    };
    auto add = [window](const QKeySequence &keys, auto handler) {
        auto *shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, handler);
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_C), onSelected(&LibraryModel::copy));
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), onSelected(&LibraryModel::copyText));
    add(QKeySequence(Qt::CTRL | Qt::Key_Backspace), onSelected(&LibraryModel::trash));
    add(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { m_model->undoTrash(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { m_focusRequests->postFocusSearch(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_1), [this] { m_model->setPinnedOnly(false); });
    add(QKeySequence(Qt::CTRL | Qt::Key_2), [this] { m_model->setPinnedOnly(true); });
    add(QKeySequence(Qt::Key_Escape), [this] {
        // Esc first clears a search, then hides the gallery.
        if (!m_model->query().isEmpty()) {
            m_model->setQuery(QString());
            m_focusRequests->postFocusGallery();
        } else {
            hideGallery();
        }
    });
}

void AppController::showGallery(bool fromButton)
{
    Q_UNUSED(fromButton)
    if (!m_galleryWindow)
        createGalleryWindow();
    model().setHasNewScreenshots(false);
    model().refresh(false);
    if (!m_galleryWindow->isVisible()) {
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = m_galleryWindow->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_galleryWindow->move(frame.topLeft());
        }
    }
    m_galleryWindow->show();
    m_galleryWindow->raise();
    m_galleryWindow->activateWindow();
    m_focusRequests->postFocusGallery();
}

void AppController::hideGallery()
{
    if (m_preview)
        m_preview->hide();
    if (m_galleryWindow)
        m_galleryWindow->hide();
}
