#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vovozodo {

// The user notice: a page of advice opened from the About window. Only its
// OK button closes it.
class Notice1 final : public QDialog {
    Q_OBJECT

public:
    // `owner` is the window the notice is modal over and centred on.
    explicit Notice1(QWidget *owner);

    // The notice text; the opener assigns it before showing the window.
    void setMessage(const QString &text);

public slots:
    // Esc, and close requests from the system, end up here: the notice stays.
    void reject() override {}

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_message = nullptr;
    QLabel *m_heading = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace vovozodo
