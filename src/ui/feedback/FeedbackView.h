#pragma once

#include "settings/ReleaseConfiguration.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QWidget>

#include <optional>

class Clipboard;
class FeedbackDetailsEditor;
class GalleryButton;
class QAbstractButton;
class QLabel;
class QPlainTextEdit;
class SegmentedControl;
class UrlOpener;

// The beta-feedback window's content. The user picks a category, writes what happened and
// either copies a plain-text report or opens an e-mail draft addressed to the beta's feedback
// address; the program itself sends nothing and attaches nothing. Everything here is view
// state: a new view starts from scratch.
class FeedbackView final : public QWidget
{
    Q_OBJECT

public:
    FeedbackView(Clipboard &clipboard, UrlOpener &urls, const ReleaseConfiguration &configuration,
                 QWidget *parent = nullptr);
    ~FeedbackView() override;

    // The picker's titles, in order; the first is chosen at the start.
    static QStringList categories();
    // The operating system's name and version, " · ", and the processor architecture.
    static QString systemLine();

    QString category() const;
    QString details() const;
    bool includeSystem() const;
    // True when the details hold more than white space.
    bool hasDetails() const;
    // "Brimfold <version>", the category, the trimmed details and, when included, the system
    // line, separated by blank lines (the category follows the first line directly).
    QString report() const;
    // The outcome of the last copy or draft; none until the first and again once the report
    // changes.
    const std::optional<QString> &status() const { return m_status; }

    SegmentedControl *categoryPicker() const { return m_picker; }
    QPlainTextEdit *detailsEditor() const;
    QLabel *placeholderLabel() const;
    QAbstractButton *systemToggle() const { return m_includeSystem; }
    QLabel *systemLineLabel() const { return m_systemLine; }
    QLabel *privacyNote() const { return m_privacy; }
    QLabel *deliveryNote() const { return m_delivery; }
    QLabel *statusLabel() const { return m_statusLabel; }
    QAbstractButton *copyButton() const;
    // None when the build has no feedback address: the draft button is not made at all.
    QAbstractButton *emailButton() const;

    QSize sizeHint() const override;

public slots:
    void copyFeedback();
    void openEmailDraft();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    enum class Tone { primary, secondary };

    QLabel *makeLabel(const QString &text, qreal size, QFont::Weight weight, Tone tone);
    void updatePlaceholder();
    void updateEnabled();
    void setStatus(const QString &status);
    void clearStatus();
    // Label inks derived from the view's palette, set again whenever it changes.
    void applyPalette();

    Clipboard &m_clipboard;
    UrlOpener &m_urls;
    ReleaseConfiguration m_configuration;
    std::optional<QString> m_status;

    SegmentedControl *m_picker = nullptr;
    FeedbackDetailsEditor *m_details = nullptr;
    QAbstractButton *m_includeSystem = nullptr;
    QLabel *m_systemLine = nullptr;
    QLabel *m_privacy = nullptr;
    QLabel *m_delivery = nullptr;
    QLabel *m_statusLabel = nullptr;
    GalleryButton *m_copy = nullptr;
    GalleryButton *m_email = nullptr;
    QList<QPair<QLabel *, Tone>> m_labels;
    QMetaObject::Connection m_focusConnection;
};
