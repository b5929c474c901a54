// The kiosk's one window: the banner, the clock line and the three result lines, the
// capture of what the barcode scanner types, the product lookup and the three timers.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "varnok/settings.h"

class QEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QTimer;

namespace varnok::json {
class TJsonObject;
}

namespace varnok {

class TfrmVarnok : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmVarnok(QWidget* parent = nullptr);
  ~TfrmVarnok() override;

  // Components, in the order the design declares them. The window owns them all.
  QLabel* pnl1 = nullptr;  // navy banner with its caption
  QFrame* pnl2 = nullptr;  // data area below the banner
  QLabel* lblProduto1 = nullptr;
  QLabel* lblProduto2 = nullptr;
  QLabel* lblProduto3 = nullptr;
  QTimer* tmr1 = nullptr;  // sets the label heights shortly after activation
  QLabel* lblData = nullptr;
  QTimer* tmr2 = nullptr;  // the clock
  QTimer* tmr3 = nullptr;  // clears the result lines five seconds after a lookup

  // One typed character: Esc (27), Enter (13), a digit or anything else.
  void FormKeyPress(char16_t key);
  // Reads the settings file into KioskSettings; runs once, from the constructor.
  void FormCreate();
  // Each activation of the window starts tmr1.
  void FormActivate();
  void tmr1Timer();
  void tmr2Timer();
  void tmr3Timer();
  // Asks the server for the product of the 13 characters in ScanBuffer and shows it.
  void LookupScan();

  const KioskSettings& kioskSettings() const noexcept { return settings_; }
  const std::u16string& scanBuffer() const noexcept { return ScanBuffer; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildComponents();
  void buildPanels();
  void buildTimers();
  void previewKey(const QKeyEvent& event);
  void deliverKey(char16_t key);
  void showUnhandledError(const QString& message);
  std::u16string baseUrl() const;
  void showProduct(std::u16string_view reply, const std::u16string& productCode,
                   json::TJsonObject& body);
  void sendCheckRecord(json::TJsonObject& body, json::TJsonObject& product,
                       const std::u16string& productCode, double weight);

  KioskSettings settings_;
  // The digits typed so far; between two typed characters it holds 0 to 12 of them.
  std::u16string ScanBuffer;
  bool firstPaintReported_ = false;
};

// The one main window, created by the program entry and alive until the program ends.
extern TfrmVarnok* frmVarnok;

}  // namespace varnok
