#include "ui/controls/FolderDialogPicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

#include <memory>

namespace {

// Puts the explanatory message above everything else of Qt's own dialog: its grid has no free
// row at the top, so every item moves down one row first.
void addMessage(QFileDialog *dialog, const QString &message)
{
    auto *grid = qobject_cast<QGridLayout *>(dialog->layout());
    if (!grid || message.isEmpty())
        return;
    struct Placed { QLayoutItem *item; int row, column, rowSpan, columnSpan; };
    QList<Placed> placed;
    while (grid->count() > 0) {
        Placed p{};
        grid->getItemPosition(0, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
        p.item = grid->takeAt(0);
        placed.append(p);
    }
    for (const Placed &p : placed)
        grid->addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan);
    auto *label = new QLabel(message, dialog);
    label->setWordWrap(true);
    label->setObjectName(QStringLiteral("folderPickerMessage"));
    grid->addWidget(label, 0, 0, 1, qMax(1, grid->columnCount()));
}

} // namespace

FolderDialogPicker::FolderDialogPicker(QWidget *parent)
    : m_parent(parent)
{
}

FolderDialogPicker::~FolderDialogPicker()
{
    // The completion may refer to objects that are going away with us.
    if (m_dialog) {
        m_dialog->disconnect();
        m_dialog->deleteLater();
    }
}

void FolderDialogPicker::chooseFolder(const Request &request, Completion completion)
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }

    auto *dialog = new QFileDialog(m_parent, request.title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog rather than the desktop's: only it has room for the message line.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setLabelText(QFileDialog::Accept, request.prompt);
    dialog->setWindowTitle(request.title);
    // The gallery floats above ordinary windows; the dialog it opens must not open behind it.
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    addMessage(dialog, request.message);
    // A folder that does not exist (a suggestion nobody made yet) would leave Qt's dialog in the
    // process's working directory; home is where the user can find their way.
    const QString start = request.startFolder.isLocalFile() ? request.startFolder.toLocalFile() : QString();
    dialog->setDirectory(!start.isEmpty() && QFileInfo(start).isDir() ? start : QDir::homePath());
    m_dialog = dialog;

    // Exactly one answer, whichever way the dialog closes.
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, completion, answered](int result) {
                         if (*answered)
                             return;
                         *answered = true;
                         const QStringList chosen = dialog->selectedFiles();
                         if (result != QDialog::Accepted || chosen.isEmpty()
                             || chosen.first().isEmpty()) {
                             completion(std::nullopt);
                             return;
                         }
                         completion(chosen.first());
                     });

    dialog->open();
    dialog->raise();
    dialog->activateWindow();
}
