#pragma once
// The adapter selection window: shows the adapters on the four driver slots and lets
// the user pick the one that carries SPI transfers. Closing it only hides it.
//
// Object names of the row controls: "optUsbPort_0".."optUsbPort_4" (4 = "None"),
// "txtDescript0_k", "txtDriverRev_k", "txtSpeed_k", "lblSlotStatus_k" for k = 0..3.
#include <QDialog>
#include <array>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {

class frmUSBselect : public QDialog {
    Q_OBJECT
  public:
    explicit frmUSBselect(app::App& app, QWidget* parent = nullptr);

    // Runs once each time the window is shown: a fresh search.
    void Form_Activate();
    void cmdFindEzUsb_Click();
    void optUsbPort_Click(int Index);
    void cmdExit_Click();

    // Searches completed since the window was created.
    int searchCount() const { return searches_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  public slots:
    // Escape behaves like OK: the window is hidden, never destroyed.
    void reject() override;

  private:
    QGroupBox* frameBufferSetup;
    std::array<QRadioButton*, 5> optUsbPort{};
    std::array<QLineEdit*, 4> txtDescript0{};
    std::array<QLineEdit*, 4> txtDriverRev{};
    std::array<QLineEdit*, 4> txtSpeed{};
    // Why an attached adapter cannot be used (for example "no permission"), per slot.
    std::array<QLabel*, 4> lblSlotStatus{};
    QLabel* Label3;
    QLabel* Label6;
    QLabel* Label7;
    QPushButton* cmdFindEzUsb;
    QPushButton* cmdExit;

    void Form_Load();
    void selectPort(int Index);

    app::App& app_;
    QButtonGroup* group_;
    bool loaded_ = false;
    bool searching_ = false;
    bool activationPending_ = false;
    int searches_ = 0;
};

} // namespace tavrin::ui
