#pragma once

#include <QWidget>

class QAbstractButton;
class QLineEdit;
class SymbolView;

// The gallery's search field: a magnifying glass, a borderless line edit and, while there is
// text, a clear button, on a faint rounded background that lights up in the accent colour
// while the field has focus.
class GallerySearchField final : public QWidget
{
    Q_OBJECT

public:
    explicit GallerySearchField(QWidget *parent = nullptr);

    QLineEdit *lineEdit() const { return m_edit; }
    QAbstractButton *clearButton() const { return m_clear; }

    QString text() const;
    // Replaces the text without announcing an edit; keeps the cursor when nothing changed.
    void setText(const QString &text);

signals:
    // The user typed, or pressed the clear button (with the empty text).
    void textEdited(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateClearButton();
    // Inks derived from the palette, set again whenever it changes.
    void applyPalette();

    QLineEdit *m_edit;
    QAbstractButton *m_clear;
};
