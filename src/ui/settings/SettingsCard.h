#pragma once

#include <QWidget>

class QVBoxLayout;

// One group of the settings form: a rounded card holding rows one above the other, with a
// hairline between neighbouring rows. Hidden rows take no room and get no line.
class SettingsCard final : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsCard(QWidget *parent = nullptr);

    void addRow(QWidget *row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QVBoxLayout *m_rows;
};
