#pragma once

#include "core/Screenshot.h"

#include <QObject>
#include <QString>

#include <optional>

class LibraryModel;
class QAction;
class ShareServices;

enum class GalleryAction { copy, copyText, preview, pin, trash, undo, showInFiles, share };

// The gallery's actions on one screenshot, named once: their titles, symbols, keys, tooltips,
// when they are available and what they do. The action bar, the tile menu, the tiles'
// accessibility actions and the panel's key routing all read from here, so a label and the
// key it names cannot drift apart.
class GalleryActions final : public QObject
{
    Q_OBJECT

public:
    // model and share must outlive the set.
    GalleryActions(LibraryModel &model, ShareServices &share, QObject *parent = nullptr);

    // The tile menu's title: "Copy image", "Pin for later" or "Unpin", "Move to Trash", …
    QString title(GalleryAction action, const std::optional<Screenshot> &item = {}) const;
    // The short name the action bar and assistive technology use: "Copy", "Copy text",
    // "Preview", "Pin screenshot" or "Unpin screenshot", …
    QString label(GalleryAction action, const std::optional<Screenshot> &item = {}) const;
    // The symbol name used with SymbolIcons; empty when the action has none.
    QString symbol(GalleryAction action) const;
    // "Ctrl+C", "Ctrl+Shift+C", "Space", "Ctrl+Backspace", "Ctrl+Z"; empty when none.
    QString keyText(GalleryAction action) const;
    // The label, followed by " · " and the key when there is one.
    QString toolTip(GalleryAction action, const std::optional<Screenshot> &item = {}) const;

    // An action on an item needs the item and a connected folder; copy and copy text also
    // wait for their running copy to end. Undo needs something to undo.
    bool isEnabled(GalleryAction action, const std::optional<Screenshot> &item) const;
    // Performs it on the item (undo ignores the item). Does nothing when not enabled.
    void trigger(GalleryAction action, const std::optional<Screenshot> &item);
    // A QAction for menus: icon, title, enabled state, triggering trigger(action, item).
    // Its data is the symbol; Trash is marked with the "destructive" property.
    QAction *createAction(GalleryAction action, const Screenshot &item, QObject *parent);

signals:
    // The one source of preview requests (double-click, menu, button, accessibility, Space/Return).
    void previewRequested(const Screenshot &item);
    // Share has no single effect: the view shows the share menu for the item.
    void shareRequested(const Screenshot &item);

private:
    LibraryModel &m_model;
    ShareServices &m_share;
};
