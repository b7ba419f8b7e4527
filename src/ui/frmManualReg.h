#pragma once
// The register window: read, write and list the registers of the selected model by
// name, save and print the listing, and make the sensor store its settings in flash.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {

class frmManualReg : public QDialog {
    Q_OBJECT
  public:
    explicit frmManualReg(app::App& app, QWidget* parent = nullptr);

    // Lets the user set up the printer; false when the user cancels. Replaceable so that
    // tests can print to a file without a dialog.
    std::function<bool(QPrinter&)> printDialog;

    // The listing exactly as shown in Text1 and saved, CR LF line ends included.
    const std::string& listingText() const { return listing_; }
    // True once the close box was used: the owner then discards the window.
    bool unloadRequested() const { return unload_; }

    void Form_Load();
    void cmboRegister_Click();
    void cmdRead_Click();
    void cmdWrite_Click();
    void cmdReadAll_Click();
    void cmdWriteFile_Click();
    void cmdPrint_Click();
    void cmdUpdateFlash_Click();
    void cmdClose_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void layOut();
    QGroupBox* frameRegister;
    QComboBox* cmboRegister;
    QLineEdit* txtRegAddr;
    QLabel* lblRegAddr;
    QLineEdit* txtRegByte;
    QLabel* lblRegByte;
    QLineEdit* txtRegRead;
    QLabel* lblRegRead;
    QLineEdit* txtRegWrite;
    QLabel* lblRegWrite;
    QPushButton* cmdRead;
    QLineEdit* txtHex;
    QLineEdit* txtDataWrite;
    QPushButton* cmdWrite;
    QGroupBox* frameUserReg;
    QPlainTextEdit* Text1;
    QPushButton* cmdReadAll;
    QPushButton* cmdWriteFile;
    QPushButton* cmdPrint;
    QLabel* Label2;
    QPushButton* cmdUpdateFlash;
    QPushButton* cmdClose;

    app::App& app_;
    std::string listing_;
    bool unload_ = false;
};

// Opens the window modally with the documented lifecycle: "Close Window" hides it (kept, next
// opening shows it as it was, without the load steps); the close box unloads it (next opening
// rebuilds from the register table loaded then).
void ShowRegisterWindow(app::App& app, QWidget* parent, std::unique_ptr<frmManualReg>& holder);

} // namespace tavrin::ui
