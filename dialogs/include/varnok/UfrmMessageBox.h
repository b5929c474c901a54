// The system's own confirmation dialog: a borderless window with a navy frame, a
// question mark in a circle, the message in bold maroon letters and the buttons "Sim"
// and "Não". AskConfirmation (varnok/confirmation.h) shows it once installed.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

class QPlainTextEdit;
class QPushButton;
class QLabel;
class QTimer;
class QWidget;

namespace varnok {

class TfrmMessageBox : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmMessageBox(QWidget* parent = nullptr);
  ~TfrmMessageBox() override;

  // The components, in the dialog's declaration order.
  QWidget* pnl1;
  QWidget* pnl3;
  QPlainTextEdit* memoMsg;
  QWidget* pnl2;
  QPushButton* btnSim;
  QPushButton* btnNao;
  QTimer* tmr1;
  QWidget* shp1;
  QLabel* lbl1;

  // The message, set before the dialog is shown.
  std::u16string MessageText;

  // The number of lines memoMsg displays: wrapped lines count, an empty last line after
  // the final line break does not.
  int displayedLineCount() const;

 public slots:
  void btnSimClick();
  void btnNaoClick();
  void FormShow();
  void memoMsgClick();
  void tmr1Timer();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void layoutComponents();
};

// The dialog while AskConfirmation shows it, null otherwise.
extern TfrmMessageBox* frmMessageBox;

// The text the message box shows for a text it holds: every CR gets LF CR after it, so
// each CR LF line break becomes two, and characters that Windows-1252 cannot hold
// become "?".
std::u16string rebuildMessageText(std::u16string_view boxText);

// The dialog height for a message of n displayed lines: the design height 208 up to 7
// lines, round(n * 16.4) + 95 above.
int dialogHeightForLines(int lines) noexcept;

// Makes AskConfirmation show TfrmMessageBox. The program calls it once at start.
void installConfirmationDialog();

}  // namespace varnok
