#include "ui/gallery/GalleryActions.h"

#include "library/LibraryModel.h"
#include "platform/ShareServices.h"
#include "ui/design/SymbolIcons.h"

#include <QAction>

GalleryActions::GalleryActions(LibraryModel &model, ShareServices &share, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_share(share)
{
}

QString GalleryActions::title(GalleryAction action, const std::optional<Screenshot> &item) const
{
    switch (action) {
    case GalleryAction::copy: return tr("Copy image");
    case GalleryAction::copyText: return tr("Copy text");
    case GalleryAction::preview: return tr("Preview");
    case GalleryAction::pin:
        return item && m_model.state().contains(item->id()) ? tr("Unpin") : tr("Pin for later");
    case GalleryAction::trash: return tr("Move to Trash");
    case GalleryAction::undo: return tr("Undo");
    case GalleryAction::showInFiles: return tr("Show in Files");
    case GalleryAction::share: return tr("Share screenshot");
    }
    return {};
}

QString GalleryActions::label(GalleryAction action, const std::optional<Screenshot> &item) const
{
    switch (action) {
    case GalleryAction::copy: return tr("Copy");
    case GalleryAction::pin:
        return item && m_model.state().contains(item->id()) ? tr("Unpin screenshot")
                                                            : tr("Pin screenshot");
    case GalleryAction::trash: return tr("Move original screenshot to Trash");
    case GalleryAction::copyText:
    case GalleryAction::preview:
    case GalleryAction::undo:
    case GalleryAction::showInFiles:
    case GalleryAction::share:
        return title(action, item);
    }
    return {};
}

QString GalleryActions::symbol(GalleryAction action) const
{
    switch (action) {
    case GalleryAction::copy: return QStringLiteral("square.on.square");
    case GalleryAction::copyText: return QStringLiteral("text.viewfinder");
    case GalleryAction::preview: return QStringLiteral("eye");
    case GalleryAction::pin: return QStringLiteral("pin");
    case GalleryAction::trash: return QStringLiteral("trash");
    case GalleryAction::undo: return {}; // the footer's plain "Undo" has no symbol
    case GalleryAction::showInFiles: return QStringLiteral("folder");
    case GalleryAction::share: return QStringLiteral("square.and.arrow.up");
    }
    return {};
}

QString GalleryActions::keyText(GalleryAction action) const
{
    switch (action) {
    case GalleryAction::copy: return QStringLiteral("Ctrl+C");
    case GalleryAction::copyText: return QStringLiteral("Ctrl+Shift+C");
    case GalleryAction::preview: return QStringLiteral("Space");
    case GalleryAction::trash: return QStringLiteral("Ctrl+Backspace");
    case GalleryAction::undo: return QStringLiteral("Ctrl+Z");
    case GalleryAction::pin:
    case GalleryAction::showInFiles:
    case GalleryAction::share:
        return {};
    }
    return {};
}

QString GalleryActions::toolTip(GalleryAction action, const std::optional<Screenshot> &item) const
{
    const QString key = keyText(action);
    return key.isEmpty() ? label(action, item) : tr("%1 · %2").arg(label(action, item), key);
}

bool GalleryActions::isEnabled(GalleryAction action, const std::optional<Screenshot> &item) const
{
    if (action == GalleryAction::undo)
        return m_model.trashUndo().canUndo();
    if (!item || !m_model.connected())
        return false;
    switch (action) {
    case GalleryAction::copy: return !m_model.copyActions().isCopying();
    case GalleryAction::copyText: return !m_model.copyActions().isCopyingText();
    default: return true;
    }
}

void GalleryActions::trigger(GalleryAction action, const std::optional<Screenshot> &item)
{
    if (!isEnabled(action, item))
        return;
    switch (action) {
    case GalleryAction::copy: m_model.copyActions().copy(*item); break;
    case GalleryAction::copyText: m_model.copyActions().copyText(*item); break;
    case GalleryAction::preview: emit previewRequested(*item); break;
    case GalleryAction::pin: m_model.pin(*item); break;
    case GalleryAction::trash: m_model.trashUndo().trash(*item); break;
    case GalleryAction::undo: m_model.trashUndo().undo(); break;
    case GalleryAction::showInFiles: m_share.showInFiles(item->url()); break;
    case GalleryAction::share: emit shareRequested(*item); break;
    }
}

QAction *GalleryActions::createAction(GalleryAction action, const Screenshot &item, QObject *parent)
{
    const QString name = symbol(action);
    auto *result = new QAction(title(action, item), parent);
    if (!name.isEmpty())
        result->setIcon(SymbolIcons::icon(name));
    result->setData(name);
    result->setEnabled(isEnabled(action, item));
    if (action == GalleryAction::trash)
        result->setProperty("destructive", true);
    // The set is the context: a menu outliving it triggers nothing.
    connect(result, &QAction::triggered, this, [this, action, item] { trigger(action, item); });
    return result;
}
