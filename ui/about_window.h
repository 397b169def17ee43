#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QPushButton;

namespace vovozodo {

// The About window: product name, issue, contact lines and the way to the
// user notice. It closes through OK or Esc; a close request from the desktop
// does what OK does.
class FrmAbout final : public QDialog {
    Q_OBJECT

public:
    // Opens a fresh About window modal over `owner` and returns once it has
    // been closed.
    static void showModal(QWidget *owner);

    explicit FrmAbout(QWidget *owner);

    // The eight lines of the user notice, joined by CR LF.
    static QString noticeText();

public slots:
    // QDialog sends Esc here; the key preview handles it instead.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void onMyWordsClicked();
    bool onKeyDown(int keyCode);

    QLabel *m_icon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_version = nullptr;
    std::array<QLabel *, 3> m_description{};
    QLabel *m_disclaimer = nullptr;
    QPushButton *m_myWordsButton = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace vovozodo
