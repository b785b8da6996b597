#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// The feedback window's text area: a borderless plain-text editor on a rounded surface with
// an outline that turns to the accent colour while the editor has focus, and a placeholder
// laid over its top leading corner while it is empty.
class FeedbackDetailsEditor final : public QWidget
{
    Q_OBJECT

public:
    explicit FeedbackDetailsEditor(QWidget *parent = nullptr);

    QPlainTextEdit *editor() const { return m_editor; }
    QLabel *placeholder() const { return m_placeholder; }

    QString text() const;
    void setPlaceholderText(const QString &text);

signals:
    void textChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updatePlaceholder();
    void placePlaceholder();
    // Inks derived from the palette, set again whenever it changes.
    void applyPalette();

    QPlainTextEdit *m_editor;
    QLabel *m_placeholder;
    bool m_applying = false;
};
