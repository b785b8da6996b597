#include "app/KeyRouter.h"

#include "app/GalleryPresenter.h"
#include "library/LibraryModel.h"
#include "settings/Preferences.h"
#include "settings/Shortcut.h"
#include "ui/design/BrimfoldPanel.h"
#include "ui/gallery/FocusRequests.h"
#include "ui/gallery/GalleryActions.h"
#include "ui/gallery/grid/GalleryGrid.h"
#include "ui/preview/PreviewWindow.h"
#include "ui/settings/ShortcutRecorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// The letter or digit of the key, in lower case, whatever Shift or Caps Lock did to it.
QChar baseCharacter(const QKeyEvent *event)
{
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar(u'a' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QChar(u'0' + (key - Qt::Key_0));
    if (key == Qt::Key_Comma)
        return u',';
    return QChar();
}

} // namespace

KeyRouter::KeyRouter(GalleryPresenter &gallery, const Preferences &preferences, LibraryModel &model,
                     QObject *parent)
    : QObject(parent)
    , m_gallery(gallery)
    , m_preferences(preferences)
    , m_model(model)
{
}

bool KeyRouter::eventFilter(QObject *watched, QEvent *event)
{
    // Keys reach the window first and then its focus widget; route them once, at the widget.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto *target = static_cast<QWidget *>(watched);
    // A key that travels up from a child that passed on it was routed already.
    if (QWidget *focus = QApplication::focusWidget(); focus && focus != target && target->isAncestorOf(focus))
        return QObject::eventFilter(watched, event);
    return routeKey(target, static_cast<QKeyEvent *>(event));
}

bool KeyRouter::routeKey(QWidget *target, QKeyEvent *event)
{
    auto *recorder = qobject_cast<RecorderButton *>(target);
    const bool recording = recorder && recorder->recording();
    if (!recording && m_preferences.shortcut().matches(*event)) {
        m_gallery.toggle(false);
        return true;
    }
    // A recording recorder gets every key, these two included: they are what it records.
    if (!recording && routeApplicationKey(event))
        return true;
    if (!m_gallery.isShown())
        return false;

    if (m_gallery.isPreviewShown()) {
        if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Space) {
            m_gallery.closePreview();
            return true;
        }
        return false; // the preview has its own keys
    }

    BrimfoldPanel *gallery = m_gallery.panel();
    if (!gallery || target->window() != gallery)
        return false;
    return routeGalleryKey(event, qobject_cast<QLineEdit *>(target));
}

bool KeyRouter::routeApplicationKey(QKeyEvent *event)
{
    // Ctrl alone: Ctrl+Shift+Q and the like stay free for the focused widget.
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    const QChar character = baseCharacter(event);
    if (character == u'q') {
        // As the tray menu's entry does: after this key has been handled.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return true;
    }
    if (character == u',') {
        if (!event->isAutoRepeat())
            emit settingsRequested();
        return true;
    }
    return false;
}

bool KeyRouter::routeGalleryKey(QKeyEvent *event, QLineEdit *editing)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const QChar character = baseCharacter(event);
    const int key = event->key();
    FocusRequests &focus = m_gallery.focusRequests();
    GalleryActions &actions = m_gallery.actions();

    if (key == Qt::Key_Escape) {
        if (m_model.query().isEmpty()) {
            m_gallery.hide(true);
        } else {
            m_model.setQuery(QString());
            focus.postFocusGallery();
        }
        return true;
    }
    if (control && !shift && character == u'f') {
        focus.postFocusSearch();
        return true;
    }
    if (control && !shift && (character == u'1' || character == u'2')) {
        m_model.setPinnedOnly(character == u'2');
        return true;
    }
    const std::optional<Screenshot> selected = m_model.selected();
    if (control && shift && character == u'c' && m_model.connected() && selected) {
        if (!event->isAutoRepeat())
            actions.trigger(GalleryAction::copyText, selected);
        return true;
    }
    if (editing)
        return routeEditingKey(event, editing);
    if (!m_model.connected())
        return false;

    if (control && character == u'c' && selected) {
        if (!event->isAutoRepeat())
            actions.trigger(GalleryAction::copy, selected);
        return true;
    }
    if (control && key == Qt::Key_Backspace && selected) {
        // One press, one screenshot: holding the keys must not empty the folder.
        if (!event->isAutoRepeat())
            actions.trigger(GalleryAction::trash, selected);
        return true;
    }
    if (control && !shift && character == u'z') {
        if (!event->isAutoRepeat())
            actions.trigger(GalleryAction::undo, std::nullopt);
        return true;
    }
    if (control)
        return false;

    const QList<Screenshot> &visible = m_model.visibleItems();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (selected)
            actions.trigger(GalleryAction::preview, selected);
        return true;
    case Qt::Key_Home:
        if (!visible.isEmpty())
            m_model.select(visible.first());
        return true;
    case Qt::Key_End:
        if (!visible.isEmpty())
            m_model.select(visible.last());
        return true;
    case Qt::Key_Left:
        m_model.moveSelection(-1);
        return true;
    case Qt::Key_Right:
        m_model.moveSelection(1);
        return true;
    case Qt::Key_Up:
        m_model.moveSelection(-GalleryGrid::columnCount);
        return true;
    case Qt::Key_Down:
        m_model.moveSelection(GalleryGrid::columnCount);
        return true;
    default:
        return false;
    }
}

bool KeyRouter::routeEditingKey(QKeyEvent *event, QLineEdit *field)
{
    if (!(event->modifiers() & Qt::ControlModifier))
        return false; // typing goes to the field
    switch (baseCharacter(event).unicode()) {
    case u'a':
        field->selectAll();
        return true;
    case u'c':
        field->copy();
        return true;
    case u'v':
        field->paste(); // plain text only
        return true;
    case u'x':
        field->cut();
        return true;
    case u'z':
        if (event->modifiers() & Qt::ShiftModifier)
            field->redo();
        else
            field->undo();
        return true;
    default:
        return false;
    }
}
