// The parts of the settings window, top to bottom.

#include "ui/settings/SettingsView.h"

#include "library/LibraryModel.h"
#include "platform/UrlOpener.h"
#include "settings/FloatingButtonSize.h"
#include "settings/ReleaseInfo.h"
#include "ui/design/BrimfoldDesign.h"
#include "ui/design/BrimfoldMark.h"
#include "ui/controls/ElidedLabel.h"
#include "ui/controls/KeyHint.h"
#include "ui/controls/PopupPicker.h"
#include "ui/design/RoundedPanel.h"
#include "ui/controls/SegmentedControl.h"
#include "ui/controls/SettingsButton.h"
#include "ui/settings/SettingsCard.h"
#include "ui/controls/SettingsRow.h"
#include "ui/controls/SettingsStyle.h"
#include "ui/controls/SettingsSwitch.h"
#include "ui/settings/ShortcutRecorder.h"
#include "ui/design/SymbolView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using SettingsStyle::Tone;

namespace {

constexpr int kRecorderWidth = 142;
constexpr int kRecorderHeight = 30;

QLabel *body(const QString &text, QWidget *parent = nullptr)
{
    return SettingsStyle::label(text, SettingsStyle::bodySize, QFont::Normal, Tone::primary, parent);
}

// A caption that wraps: notes and second lines.
QLabel *caption(const QString &text, QWidget *parent = nullptr)
{
    QLabel *label = SettingsStyle::label(text, SettingsStyle::captionSize, QFont::Normal,
                                         Tone::secondary, parent);
    label->setWordWrap(true);
    return label;
}

// A title over an optional second line, as the leading side of a row.
QVBoxLayout *titled(const QString &title, const QString &subtitle, SettingsRow *row)
{
    auto *lines = new QVBoxLayout;
    lines->setSpacing(2);
    lines->addWidget(body(title, row));
    if (!subtitle.isEmpty())
        lines->addWidget(caption(subtitle, row));
    return lines;
}

// A row naming a switch, with the switch at its trailing end; clicking the row toggles it.
SettingsRow *switchRow(const QString &title, const QString &subtitle, const QString &objectName,
                       SettingsSwitch *&control)
{
    auto *row = new SettingsRow;
    control = new SettingsSwitch(title, row);
    control->setObjectName(objectName);
    if (!subtitle.isEmpty())
        control->setAccessibleDescription(subtitle);
    row->content()->addLayout(titled(title, subtitle, row), 1);
    row->content()->addWidget(control, 0, Qt::AlignVCenter);
    row->setActivator(control);
    // The track, not the room left for its focus ring, lines up with the other controls.
    QMargins margins = row->content()->contentsMargins();
    margins.setRight(margins.right() - SettingsSwitch::focusRim);
    row->content()->setContentsMargins(margins);
    return row;
}

// A row naming a control, with the control at its trailing end.
SettingsRow *controlRow(const QString &title, QWidget *control)
{
    auto *row = new SettingsRow;
    row->content()->addWidget(body(title, row), 1);
    control->setParent(row);
    row->content()->addWidget(control, 0, Qt::AlignVCenter);
    return row;
}

// A row of text and a button after it.
SettingsRow *buttonRow(QLabel *text, SettingsButton *button)
{
    auto *row = new SettingsRow;
    text->setParent(row);
    button->setParent(row);
    row->content()->addWidget(text, 1);
    row->content()->addWidget(button, 0, Qt::AlignVCenter);
    return row;
}

SettingsRow *noteRow(const QString &text, const QString &objectName = QString())
{
    auto *row = new SettingsRow;
    row->setObjectName(objectName);
    row->content()->addWidget(caption(text, row));
    return row;
}

SettingsButton *softButton(const QString &title, const QString &objectName)
{
    auto *button = new SettingsButton(SettingsButton::Kind::soft, title);
    button->setObjectName(objectName);
    return button;
}

} // namespace

QWidget *SettingsView::makeHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("settingsHeader"));
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(28, 28, 28, 20);
    row->setSpacing(14);
    row->addWidget(new BrimfoldMark(40, header), 0, Qt::AlignVCenter);
    auto *lines = new QVBoxLayout;
    lines->setSpacing(3);
    lines->addWidget(SettingsStyle::label(tr("Make room for your flow."), SettingsStyle::titleSize,
                                          QFont::DemiBold, Tone::primary, header));
    lines->addWidget(SettingsStyle::label(tr("A few preferences. Everything within reach."),
                                          SettingsStyle::subtitleSize, QFont::Normal,
                                          Tone::secondary, header));
    row->addLayout(lines, 1);
    return header;
}

QWidget *SettingsView::makeSaveNotice()
{
    auto *holder = new QWidget(this);
    holder->setObjectName(QStringLiteral("saveFailedNotice"));
    auto *margins = new QVBoxLayout(holder);
    margins->setContentsMargins(24, 0, 24, 12);
    auto *panel = new RoundedPanel(
        [](const QPalette &palette) {
            return BrimfoldDesign::withOpacity(SettingsStyle::warning(palette), 0.1);
        },
        10, holder);
    margins->addWidget(panel);
    auto *line = new QHBoxLayout(panel);
    line->setContentsMargins(14, 9, 14, 9);
    line->setSpacing(8);
    auto *symbol = new SymbolView(QStringLiteral("exclamationmark.circle.fill"), 15, panel);
    m_warningSymbols.append(symbol);
    line->addWidget(symbol, 0, Qt::AlignVCenter);
    line->addWidget(SettingsStyle::label(
                        tr("Couldn’t save your settings. Check that your settings folder is writable."),
                        12, QFont::Medium, Tone::warning, panel),
                    1);
    holder->hide();
    m_saveNotice = holder;
    return holder;
}

QWidget *SettingsView::makeSection(const QString &title, SettingsCard *card)
{
    auto *section = new QWidget;
    auto *stack = new QVBoxLayout(section);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    QLabel *heading = SettingsStyle::label(title, SettingsStyle::sectionSize, QFont::DemiBold,
                                           Tone::primary, section);
    heading->setContentsMargins(4, 0, 0, 0);
    heading->setAccessibleName(title);
    stack->addWidget(heading);
    card->setParent(section);
    card->setAccessibleName(title);
    stack->addWidget(card);
    return section;
}

SettingsRow *SettingsView::makeWarningRow(const QString &objectName, QLabel *&label)
{
    auto *row = new SettingsRow;
    row->setObjectName(objectName);
    row->setMinimumHeight(0);
    row->content()->setContentsMargins(SettingsStyle::rowHorizontalPadding, 8,
                                       SettingsStyle::rowHorizontalPadding, 9);
    row->content()->setSpacing(7);
    auto *symbol = new SymbolView(QStringLiteral("exclamationmark.circle.fill"), 14, row);
    m_warningSymbols.append(symbol);
    row->content()->addWidget(symbol, 0, Qt::AlignTop);
    label = SettingsStyle::label(QString(), 12, QFont::Medium, Tone::warning, row);
    label->setWordWrap(true);
    row->content()->addWidget(label, 1);
    row->hide();
    return row;
}

QWidget *SettingsView::makeAppearanceSection()
{
    auto *card = new SettingsCard;
    card->addRow(switchRow(tr("Show floating button"),
                           tr("Screenshots keep collecting when the button is hidden."),
                           QStringLiteral("showFloatingButton"), m_showFloatingButton));

    QStringList sizes;
    for (const FloatingButtonSize size : allFloatingButtonSizes)
        sizes << title(size);
    m_buttonSize = new SegmentedControl(sizes, tr("Button size"));
    m_buttonSize->setObjectName(QStringLiteral("buttonSize"));
    card->addRow(controlRow(tr("Button size"), m_buttonSize));

    card->addRow(switchRow(tr("Snap near screen edges"), QString(), QStringLiteral("snapToEdges"),
                           m_snapToEdges));

    m_resetPosition = softButton(tr("Reset position"), QStringLiteral("resetPosition"));
    card->addRow(buttonRow(caption(tr("Drag the button anywhere. Its position is remembered.")),
                           m_resetPosition));

    m_appearance = new PopupPicker({tr("System"), tr("Light"), tr("Dark")}, tr("Appearance"));
    m_appearance->setObjectName(QStringLiteral("appearance"));
    card->addRow(controlRow(tr("Appearance"), m_appearance));
    return makeSection(tr("Appearance"), card);
}

QWidget *SettingsView::makeKeyboardSection()
{
    auto *card = new SettingsCard;
    auto *shortcutRow = new SettingsRow;
    shortcutRow->content()->addLayout(
        titled(tr("Open screenshots"), tr("Works even with the floating button hidden."),
               shortcutRow),
        1);
    m_recorder = new RecorderButton(shortcutRow);
    m_recorder->setObjectName(QStringLiteral("shortcutRecorder"));
    // The frame the row gives it; wider when a Linux prompt needs more room.
    m_recorder->setMinimumSize(kRecorderWidth, kRecorderHeight);
    m_recorder->setMaximumHeight(kRecorderHeight);
    shortcutRow->content()->addWidget(m_recorder, 0, Qt::AlignVCenter);
    card->addRow(shortcutRow);

    // The desktop may let the user pick another trigger than the recorded one.
    m_desktopTriggerRow = new SettingsRow;
    m_desktopTriggerRow->setObjectName(QStringLiteral("desktopTrigger"));
    m_desktopTriggerRow->setMinimumHeight(0);
    m_desktopTrigger = caption(QString(), m_desktopTriggerRow);
    m_desktopTriggerRow->content()->addWidget(m_desktopTrigger, 1);
    m_desktopTriggerRow->hide();
    card->addRow(m_desktopTriggerRow);

    m_shortcutErrorRow = makeWarningRow(QStringLiteral("shortcutError"), m_shortcutError);
    card->addRow(m_shortcutErrorRow);

    auto *hints = new SettingsRow;
    hints->setObjectName(QStringLiteral("keyHints"));
    hints->content()->setSpacing(18);
    const std::pair<QString, QString> keys[] = {
        {tr("Ctrl+C"), tr("Copy")},
        {tr("Space"), tr("Preview")},
        {tr("Ctrl+Backspace"), tr("Trash")},
        {tr("Esc"), tr("Close")},
    };
    for (const auto &[cap, label] : keys)
        hints->content()->addWidget(new KeyHint(cap, label, hints));
    hints->content()->addStretch(1);
    card->addRow(hints);
    return makeSection(tr("Keyboard access"), card);
}

QWidget *SettingsView::makeFolderSection()
{
    auto *card = new SettingsCard;
    auto *folderRow = new SettingsRow;
    folderRow->setMinimumHeight(56);
    auto *folder = new SymbolView(QStringLiteral("folder"), 20, folderRow);
    folder->setColour(BrimfoldDesign::accent());
    folder->setFrameSide(24);
    folderRow->content()->addWidget(folder, 0, Qt::AlignVCenter);
    auto *lines = new QVBoxLayout;
    lines->setSpacing(1);
    m_folderName = SettingsStyle::label(QString(), SettingsStyle::bodySize, QFont::Medium,
                                        Tone::primary, folderRow);
    m_folderName->setObjectName(QStringLiteral("folderName"));
    m_folderPath = new ElidedLabel(SettingsStyle::captionSize, QFont::Normal, Tone::secondary,
                                   Qt::ElideMiddle, folderRow);
    m_folderPath->setObjectName(QStringLiteral("folderPath"));
    lines->addWidget(m_folderName);
    lines->addWidget(m_folderPath);
    folderRow->content()->addLayout(lines, 1);
    auto *change = softButton(tr("Change…"), QStringLiteral("changeFolder"));
    change->setParent(folderRow);
    folderRow->content()->addWidget(change, 0, Qt::AlignVCenter);
    connect(change, &QAbstractButton::clicked, this, [this] { m_model.chooseFolder(); });
    card->addRow(folderRow);

    card->addRow(switchRow(tr("Include other images in this folder"), QString(),
                           QStringLiteral("includeAllImages"), m_includeAllImages));
    card->addRow(noteRow(tr("Brimfold accesses originals without making duplicates. Moving an image "
                            "to Trash removes the original; Undo restores it. The gallery keeps "
                            "the 500 most recent images plus pins.")));
    return makeSection(tr("Screenshot folder"), card);
}

QWidget *SettingsView::makeTextSection()
{
    auto *card = new SettingsCard;
    auto *about = new SettingsRow;
    auto *lines = new QVBoxLayout;
    lines->setSpacing(4);
    m_languageDescription = body(QString(), about);
    m_languageDescription->setObjectName(QStringLiteral("languageDescription"));
    // Long with several languages or a package to install: it wraps rather than widen the window.
    m_languageDescription->setWordWrap(true);
    lines->addWidget(m_languageDescription);
    lines->addWidget(caption(tr("Find screenshots by words inside them. Copy their text with "
                                "Ctrl+Shift+C or Copy text. Recognition stays on your computer; "
                                "results are cached locally and refreshed when an image changes."),
                             about));
    about->content()->addLayout(lines, 1);
    card->addRow(about);

    m_textStatusRow = new SettingsRow;
    m_textStatusRow->setObjectName(QStringLiteral("textStatusRow"));
    m_textStatus = SettingsStyle::label(QString(), 12, QFont::Normal, Tone::secondary,
                                        m_textStatusRow);
    m_textStatus->setObjectName(QStringLiteral("textIndexStatus"));
    m_retry = softButton(tr("Retry unread screenshots"), QStringLiteral("retryUnread"));
    m_retry->setParent(m_textStatusRow);
    m_textStatusRow->content()->addWidget(m_textStatus, 1);
    m_textStatusRow->content()->addWidget(m_retry, 0, Qt::AlignVCenter);
    card->addRow(m_textStatusRow);
    return makeSection(tr("Search & copy text"), card);
}

QWidget *SettingsView::makeDesktopSection()
{
    auto *card = new SettingsCard;
    card->addRow(switchRow(tr("Launch Brimfold at login"), QString(),
                           QStringLiteral("launchAtLogin"), m_launchAtLoginSwitch));
    m_loginErrorRow = makeWarningRow(QStringLiteral("loginError"), m_loginErrorLabel);
    card->addRow(m_loginErrorRow);
    card->addRow(noteRow(tr("Follows your desktop’s animation and transparency settings.")));
    return makeSection(tr("At home on your desktop"), card);
}

QWidget *SettingsView::makeReleaseSection()
{
    auto *card = new SettingsCard;

    auto *versionRow = new SettingsRow;
    auto *lines = new QVBoxLayout;
    lines->setSpacing(3);
    QLabel *version = SettingsStyle::label(tr("Brimfold ") + ReleaseInfo::version(),
                                           SettingsStyle::bodySize, QFont::Medium, Tone::primary,
                                           versionRow);
    version->setObjectName(QStringLiteral("releaseVersion"));
    QString details = ReleaseInfo::label() + tr(" · Build ") + ReleaseInfo::build();
    if (ReleaseInfo::isLocal())
        details += tr(" · Local build");
    QLabel *detailsLabel = caption(details, versionRow);
    detailsLabel->setObjectName(QStringLiteral("releaseDetails"));
    lines->addWidget(version);
    lines->addWidget(detailsLabel);
    versionRow->content()->addLayout(lines, 1);
    auto *whatsNew = softButton(tr("What’s new"), QStringLiteral("whatsNew"));
    whatsNew->setParent(versionRow);
    versionRow->content()->addWidget(whatsNew, 0, Qt::AlignVCenter);
    connect(whatsNew, &QAbstractButton::clicked, this,
            [this] { ReleaseInfo::showReleaseNotes(m_urls); });
    card->addRow(versionRow);

    // For a build that updates itself; shown only then.
    m_automaticChecksRow = switchRow(tr("Automatically check for updates"), QString(),
                                     QStringLiteral("automaticChecks"), m_automaticChecks);
    m_automaticChecksRow->setObjectName(QStringLiteral("automaticChecksRow"));
    card->addRow(m_automaticChecksRow);
    m_checkForUpdates = softButton(tr("Check for updates…"), QStringLiteral("checkForUpdates"));
    m_checkRow = buttonRow(caption(tr("You choose when to install an update.")), m_checkForUpdates);
    m_checkRow->setObjectName(QStringLiteral("checkForUpdatesRow"));
    card->addRow(m_checkRow);
    // For every other build, instead.
    m_localNoticeRow = noteRow(tr("Updates aren’t connected in this local build. Install a newer "
                                  "build to update."),
                               QStringLiteral("localBuildNotice"));
    card->addRow(m_localNoticeRow);

    auto *linksRow = new SettingsRow;
    auto *feedback = softButton(tr("Share beta feedback…"), QStringLiteral("shareFeedback"));
    feedback->setParent(linksRow);
    auto *support = new SettingsButton(SettingsButton::Kind::link, tr("Support Brimfold ↗"),
                                       linksRow);
    support->setObjectName(QStringLiteral("supportLink"));
    support->setToolTip(supportUrl().toString());
    linksRow->content()->addWidget(feedback, 0, Qt::AlignVCenter);
    linksRow->content()->addStretch(1);
    linksRow->content()->addWidget(support, 0, Qt::AlignVCenter);
    connect(feedback, &QAbstractButton::clicked, this, &SettingsView::feedbackRequested);
    connect(support, &QAbstractButton::clicked, this, [this] { m_urls.open(supportUrl()); });
    card->addRow(linksRow);
    return makeSection(tr("Beta & updates"), card);
}

QWidget *SettingsView::makeFooter()
{
    auto *footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("settingsFooter"));
    auto *row = new QHBoxLayout(footer);
    row->setContentsMargins(24, 12, 20, 14);
    row->setSpacing(12);
    QLabel *version = SettingsStyle::label(tr("Brimfold ") + ReleaseInfo::displayVersion(),
                                           SettingsStyle::captionSize, QFont::Normal,
                                           Tone::secondary, footer);
    version->setObjectName(QStringLiteral("footerVersion"));
    row->addWidget(version, 1);
    auto *open = new SettingsButton(SettingsButton::Kind::prominent, tr("Open gallery"), footer);
    open->setObjectName(QStringLiteral("openGallery"));
    row->addWidget(open);
    connect(open, &QAbstractButton::clicked, this, &SettingsView::openGalleryRequested);
    return footer;
}
