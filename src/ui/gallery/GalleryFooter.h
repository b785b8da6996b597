#pragma once

#include "library/ToastStyle.h"

#include <QWidget>

#include <optional>

class BusySpinner;
class GalleryButton;
class QLabel;
class StatusDot;
class SymbolView;

// The bottom row of the gallery. On the left, the first that applies: the library's toast
// (with "Undo" after a move to the Trash), the text-recognition status (with "Retry" once
// reading has stopped), or the folder's state behind a coloured dot. On the right, the global
// shortcut that opens the gallery.
class GalleryFooter final : public QWidget
{
    Q_OBJECT

public:
    enum class Form { toast, status, folder };

    struct State
    {
        std::optional<QString> toast;
        ToastStyle toastStyle = ToastStyle::success;
        bool canUndo = false;
        bool connected = false;
        std::optional<QString> textIndexStatus;
        bool isIndexing = false;
        bool hasConnectedFolder = false;
        QString folderName;    // last path component of the connected folder
        QString shortcutLabel; // "Ctrl+Shift+G"
    };

    explicit GalleryFooter(QWidget *parent = nullptr);

    void setState(const State &state);
    const State &state() const { return m_state; }
    Form form() const { return m_form; }

    SymbolView *toastSymbol() const { return m_toastSymbol; }
    QLabel *toastLabel() const { return m_toastText; }
    GalleryButton *undoButton() const { return m_undo; }
    BusySpinner *statusSpinner() const { return m_statusSpinner; }
    SymbolView *statusSymbol() const { return m_statusSymbol; }
    QLabel *statusLabel() const { return m_statusText; }
    GalleryButton *retryButton() const { return m_retry; }
    StatusDot *folderDot() const { return m_dot; }
    QLabel *folderLabel() const { return m_folderText; }
    QLabel *shortcutLabel() const { return m_shortcut; }
    // The left part, whichever form shows (the toast fades in on it).
    QWidget *leftPart() const { return m_left; }

    static QColor orange();
    static QColor green();

signals:
    void undoRequested();
    void retryRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    State m_state;
    Form m_form = Form::folder;
    QWidget *m_left;
    QWidget *m_toast;
    SymbolView *m_toastSymbol;
    QLabel *m_toastText;
    GalleryButton *m_undo;
    QWidget *m_status;
    BusySpinner *m_statusSpinner;
    SymbolView *m_statusSymbol;
    QLabel *m_statusText;
    GalleryButton *m_retry;
    QWidget *m_folder;
    StatusDot *m_dot;
    QLabel *m_folderText;
    QLabel *m_shortcut;
};
