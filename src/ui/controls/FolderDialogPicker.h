#pragma once

#include "library/FolderPicker.h"

#include <QFileDialog>
#include <QPointer>

class QWidget;

// The folder picker as a Qt file dialog: directories only, one selection, opened without
// blocking and brought to the front (the program has no main window to lean on).
class FolderDialogPicker final : public FolderPicker
{
public:
    explicit FolderDialogPicker(QWidget *parent = nullptr);
    ~FolderDialogPicker() override;

    // A second request while a dialog is open brings that dialog to the front instead.
    void chooseFolder(const Request &request, Completion completion) override;

    // The open dialog, if any (for tests).
    QFileDialog *dialog() const { return m_dialog; }

private:
    QPointer<QWidget> m_parent;
    QPointer<QFileDialog> m_dialog;
};
