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
    void onCommand1Click();
    bool onKeyDown(int keyCode);

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    std::array<QLabel *, 3> lblDescription{};
    QLabel *lblDisclaimer = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
};

} // namespace vovozodo
